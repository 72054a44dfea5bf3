#include "targeting/NodeFilter.h"

namespace brindlecue {

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

}  // namespace brindlecue
