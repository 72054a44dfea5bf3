#include "targeting/NodeFilter.h"

#include <algorithm>

#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "targeting/KJTargetNode.h"
#include "targeting/UIViewBrindlecueSDK.h"

namespace brindlecue {

const std::vector<std::string>& NodeFilter::unwantedWidgets() {
    static const auto* list =
        new std::vector<std::string>{"_UIVisualEffectBackdropView", "_UITableViewCellSeparatorView",
                                     "__UITileLayer", "_UILabelContentLayer"};
    return *list;
}

const std::vector<std::string>& NodeFilter::supportWidgetsLUT() {
    static const auto* list = new std::vector<std::string>{"UITableViewCell",
                                                           "UITableViewHeaderFooterView",
                                                           "UITableView",
                                                           "UIButton",
                                                           "_UIButtonBarButton",
                                                           "UINavigationButton",
                                                           "UINavigationBar",
                                                           "UISwitch",
                                                           "UIImageView",
                                                           "UILabel",
                                                           "UISlider",
                                                           "UISwitch",
                                                           "UISegment",
                                                           "UISegmentControl",
                                                           "UIStepper",
                                                           "UITabBar",
                                                           "UITabBarButton",
                                                           "UICollectionView",
                                                           "UICollectionViewCell",
                                                           "UICollectionReusableView",
                                                           "RCTView",
                                                           "UITextView",
                                                           "UIControl",
                                                           "UITabBarButtonLabel",
                                                           "_UIModernBarButton",
                                                           "UISearchBar"};
    return *list;
}

const std::vector<std::string>& NodeFilter::landmarkLUT() {
    return supportWidgetsLUT();
}

NodeFilter::NodeFilter()
    : clickableElements{"UITableViewCell",      "UIButton",   "_UIButtonBarButton", "UINavigationButton",
                        "UINavigationBar",      "UISwitch",   "UISlider",           "UISwitch",
                        "UISegmentControl",     "UIStepper",  "UITabBar",           "UITabBarButton",
                        "UICollectionViewCell", "UITextView", "UIControl",          "_UIModernBarButton"},
      ignoredClickableElements{"UITableView", "UICollectionView"} {}

bool NodeFilter::mustFilterOut(const KJTargetNode& node) {
    if (!node.frame || !node.type || !node.instance) return false;
    const platform::CGRect screen = platform::UIScreen::mainScreen()->bounds();
    const float screenWidth = float(screen.size.width), screenHeight = float(screen.size.height);
    const float x = float(node.x()), y = float(node.y()), width = float(node.width()),
                height = float(node.height());
    if (width * height <= 0) return true;
    if (height == screenHeight && width == screenWidth) return true;
    if (y + height > screenHeight || x + width > screenWidth || y < 0 || x < 0) return true;
    if (!isDisplayedInScreen(*node.instance)) return true;
    const auto& unwanted = unwantedWidgets();
    return std::find(unwanted.begin(), unwanted.end(), *node.type) != unwanted.end();
}

}  // namespace brindlecue
