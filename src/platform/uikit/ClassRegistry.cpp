#include "platform/uikit/ClassRegistry.h"

#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

namespace brindlecue::platform {
namespace {

struct ClassEntry {
    std::string superclass;  // empty for a root class
    bool platform = false;
    std::vector<PropertyInfo> properties;
    std::set<std::string, std::less<>> methods;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, ClassEntry, std::less<>> classes;
    // Answers of isSubclass ("name\0ancestor"), forgotten whenever a class is registered.
    std::unordered_map<std::string, bool> subclassAnswers;
};

// The platform classes, each with its superclass: the UIKit stand-ins, the private classes the
// platform builds its containers and bars from, and the React Native classes hosts may carry.
const std::pair<const char*, const char*> kPlatformClasses[] = {
    {"NSObject", ""},
    {"UIResponder", "NSObject"},
    {"UIApplication", "UIResponder"},
    {"UIScene", "UIResponder"},
    {"UIWindowScene", "UIScene"},
    {"UIScreen", "NSObject"},
    {"UIDevice", "NSObject"},
    {"UITouch", "NSObject"},
    {"UIEvent", "NSObject"},
    {"UIImage", "NSObject"},
    {"UIViewControllerTransitionCoordinator", "NSObject"},
    {"UIPresentationController", "NSObject"},
    {"UITraitCollection", "NSObject"},
    {"CALayer", "NSObject"},
    {"CAShapeLayer", "CALayer"},
    {"CAGradientLayer", "CALayer"},
    {"UIWindowLayer", "CALayer"},
    {"_UILabelLayer", "CALayer"},
    {"_UILabelContentLayer", "CALayer"},
    {"__UITileLayer", "CALayer"},
    {"CAAnimation", "NSObject"},
    {"CAPropertyAnimation", "CAAnimation"},
    {"CABasicAnimation", "CAPropertyAnimation"},
    {"CAKeyframeAnimation", "CAPropertyAnimation"},
    {"CAAnimationGroup", "CAAnimation"},
    {"CATransition", "CAAnimation"},
    {"NSLayoutConstraint", "NSObject"},
    {"UILayoutGuide", "NSObject"},
    {"UIAppearanceProxy", "NSObject"},
    {"UIMotionEffect", "NSObject"},
    {"UIInterpolatingMotionEffect", "UIMotionEffect"},
    {"UIMotionEffectGroup", "UIMotionEffect"},
    {"UIVisualEffect", "NSObject"},
    {"UIBlurEffect", "UIVisualEffect"},
    {"UIDynamicAnimator", "NSObject"},
    {"UIDynamicBehavior", "NSObject"},
    {"UISnapBehavior", "UIDynamicBehavior"},
    {"UIAttachmentBehavior", "UIDynamicBehavior"},
    {"UIGravityBehavior", "UIDynamicBehavior"},
    {"UIDynamicItemBehavior", "UIDynamicBehavior"},
    {"UIGestureRecognizer", "NSObject"},
    {"UITapGestureRecognizer", "UIGestureRecognizer"},
    {"UIPanGestureRecognizer", "UIGestureRecognizer"},
    {"UISwipeGestureRecognizer", "UIGestureRecognizer"},
    {"UILongPressGestureRecognizer", "UIGestureRecognizer"},
    {"UIBarItem", "NSObject"},
    {"UIBarButtonItem", "UIBarItem"},
    {"UITabBarItem", "UIBarItem"},
    {"UINavigationItem", "NSObject"},
    {"UIAlertAction", "NSObject"},
    {"UICollectionViewLayout", "NSObject"},
    {"UICollectionViewFlowLayout", "UICollectionViewLayout"},
    // Controllers.
    {"UIViewController", "UIResponder"},
    {"UINavigationController", "UIViewController"},
    {"UITabBarController", "UIViewController"},
    {"UITableViewController", "UIViewController"},
    {"UICollectionViewController", "UIViewController"},
    {"UIAlertController", "UIViewController"},
    {"UIHostingController", "UIViewController"},
    // Views.
    {"UIView", "UIResponder"},
    {"UIWindow", "UIView"},
    {"UIScrollView", "UIView"},
    {"UITableView", "UIScrollView"},
    {"UICollectionView", "UIScrollView"},
    {"UITextView", "UIScrollView"},
    {"UITableViewCell", "UIView"},
    {"UITableViewCellContentView", "UIView"},
    {"UITableViewHeaderFooterView", "UIView"},
    {"_UITableViewHeaderFooterContentView", "UIView"},
    {"_UITableViewCellSeparatorView", "UIView"},
    {"UICollectionReusableView", "UIView"},
    {"UICollectionViewCell", "UICollectionReusableView"},
    {"UILabel", "UIView"},
    {"UIButtonLabel", "UILabel"},
    {"UITabBarButtonLabel", "UILabel"},
    {"UIImageView", "UIView"},
    {"UIActivityIndicatorView", "UIView"},
    {"UIControl", "UIView"},
    {"UIButton", "UIControl"},
    {"UINavigationButton", "UIButton"},
    {"_UIModernBarButton", "UIButton"},
    {"_UIButtonBarButton", "UIControl"},
    {"UISwitch", "UIControl"},
    {"UISlider", "UIControl"},
    {"UIStepper", "UIControl"},
    {"UISegmentedControl", "UIControl"},
    {"UISegment", "UIImageView"},
    {"UITextField", "UIControl"},
    {"UITabBarButton", "UIControl"},
    {"UINavigationBar", "UIView"},
    {"_UINavigationBarContentView", "UIView"},
    {"UITabBar", "UIView"},
    {"UIToolbar", "UIView"},
    {"UISearchBar", "UIView"},
    {"UIStackView", "UIView"},
    {"UIVisualEffectView", "UIView"},
    {"_UIVisualEffectBackdropView", "UIView"},
    {"UIAlertView", "UIView"},
    {"UIActionSheet", "UIView"},
    {"UITransitionView", "UIView"},
    {"UILayoutContainerView", "UIView"},
    {"UINavigationTransitionView", "UIView"},
    {"UIViewControllerWrapperView", "UIView"},
    {"UIDropShadowView", "UIView"},
    {"_UIHostingView", "UIView"},
    {"WKWebView", "UIView"},
    // React Native.
    {"RCTView", "UIView"},
    {"RCTRootView", "UIView"},
    {"RCTRootContentView", "RCTView"},
    {"RCTScrollView", "RCTView"},
    {"RCTCustomScrollView", "UIScrollView"},
    {"RCTScrollContentView", "RCTView"},
    {"RCTTextView", "UIView"},
    {"RCTImageView", "UIImageView"},
    {"RCTSurfaceView", "UIView"},
    {"RNSScreen", "UIViewController"},
    {"RNSScreenView", "RCTView"},
};

const std::pair<const char*, std::vector<std::string>> kPlatformMethods[] = {
    {"UIResponder", {"nextResponder", "isFirstResponder", "becomeFirstResponder", "resignFirstResponder"}},
    {"UIView", {"window", "superview", "subviews", "layer", "drawRect:"}},
    {"UIBarButtonItem", {"view", "title", "target", "action", "customView"}},
    {"UITabBarItem", {"view", "title"}},
    {"UIWindow", {"rootViewController"}},
    {"UICollectionView",
     {"indexPathsForVisibleSupplementaryElementsOfKind:", "visibleSupplementaryViewsOfKind:",
      "supplementaryViewForElementKind:atIndexPath:"}},
};

// Platform classes with a C++ type of their own (kept in step with BLQ_PLATFORM_CLASS).
const std::set<std::string, std::less<>>& standIns() {
    static const auto* names = new std::set<std::string, std::less<>>{"CAAnimation",
                                                                      "CAAnimationGroup",
                                                                      "CABasicAnimation",
                                                                      "CAKeyframeAnimation",
                                                                      "CALayer",
                                                                      "CAPropertyAnimation",
                                                                      "CAShapeLayer",
                                                                      "CATransition",
                                                                      "NSLayoutConstraint",
                                                                      "UIActionSheet",
                                                                      "UIActivityIndicatorView",
                                                                      "UIAlertAction",
                                                                      "UIAlertController",
                                                                      "UIAlertView",
                                                                      "UIAppearanceProxy",
                                                                      "UIApplication",
                                                                      "UIAttachmentBehavior",
                                                                      "UIBarButtonItem",
                                                                      "UIBarItem",
                                                                      "UIBlurEffect",
                                                                      "UIButton",
                                                                      "UICollectionReusableView",
                                                                      "UICollectionView",
                                                                      "UICollectionViewCell",
                                                                      "UICollectionViewController",
                                                                      "UICollectionViewFlowLayout",
                                                                      "UIControl",
                                                                      "UIDevice",
                                                                      "UIDynamicAnimator",
                                                                      "UIDynamicBehavior",
                                                                      "UIDynamicItemBehavior",
                                                                      "UIEvent",
                                                                      "UIGestureRecognizer",
                                                                      "UIGravityBehavior",
                                                                      "UIImage",
                                                                      "UIImageView",
                                                                      "UIInterpolatingMotionEffect",
                                                                      "UILabel",
                                                                      "UILayoutGuide",
                                                                      "UIMotionEffect",
                                                                      "UIMotionEffectGroup",
                                                                      "UINavigationBar",
                                                                      "UINavigationController",
                                                                      "UINavigationItem",
                                                                      "UIPanGestureRecognizer",
                                                                      "UIPresentationController",
                                                                      "UIResponder",
                                                                      "UIScene",
                                                                      "UIScreen",
                                                                      "UIScrollView",
                                                                      "UISegmentedControl",
                                                                      "UISlider",
                                                                      "UISnapBehavior",
                                                                      "UIStackView",
                                                                      "UIStepper",
                                                                      "UISwipeGestureRecognizer",
                                                                      "UISwitch",
                                                                      "UITabBar",
                                                                      "UITabBarController",
                                                                      "UITabBarItem",
                                                                      "UITableView",
                                                                      "UITableViewCell",
                                                                      "UITableViewController",
                                                                      "UITableViewHeaderFooterView",
                                                                      "UITapGestureRecognizer",
                                                                      "UITextField",
                                                                      "UITextView",
                                                                      "UITouch",
                                                                      "UITraitCollection",
                                                                      "UIView",
                                                                      "UIViewController",
                                                                      "UIViewControllerTransitionCoordinator",
                                                                      "UIVisualEffect",
                                                                      "UIVisualEffectView",
                                                                      "UIWindow",
                                                                      "UIWindowScene",
                                                                      "WKWebView"};
    return *names;
}

Registry& registry() {
    static Registry* r = [] {
        auto* reg = new Registry;
        for (const auto& [name, super] : kPlatformClasses) {
            ClassEntry e;
            e.superclass = super;
            e.platform = true;
            reg->classes.emplace(name, std::move(e));
        }
        for (const auto& [name, methods] : kPlatformMethods)
            reg->classes[name].methods.insert(methods.begin(), methods.end());
        return reg;
    }();
    return *r;
}

}  // namespace

void ClassRegistry::registerClass(const std::string& name, const std::string& superclass, bool platform) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto& e = r.classes[name];
    e.superclass = superclass;
    e.platform = platform;
    r.subclassAnswers.clear();
}

bool ClassRegistry::exists(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.classes.find(name) != r.classes.end();
}

std::optional<std::string> ClassRegistry::superclassOf(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(name);
    if (it == r.classes.end() || it->second.superclass.empty()) return std::nullopt;
    return it->second.superclass;
}

bool ClassRegistry::isSubclass(std::string_view name, std::string_view ancestor) {
    auto& r = registry();
    std::string key;
    key.reserve(name.size() + ancestor.size() + 1);
    key.append(name).push_back('\0');
    key.append(ancestor);
    std::lock_guard lock(r.mutex);
    if (auto known = r.subclassAnswers.find(key); known != r.subclassAnswers.end()) return known->second;
    bool answer = false;
    std::string current(name);
    // The chain is bounded by the table size, so a registration loop cannot hang the walk.
    for (size_t steps = 0; steps <= r.classes.size(); ++steps) {
        if (current == ancestor) {
            answer = true;
            break;
        }
        auto it = r.classes.find(current);
        if (it == r.classes.end() || it->second.superclass.empty()) break;
        current = it->second.superclass;
    }
    r.subclassAnswers.emplace(std::move(key), answer);
    return answer;
}

bool ClassRegistry::isPlatformClass(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(name);
    return it != r.classes.end() && it->second.platform;
}

std::optional<std::string> ClassRegistry::nearestPlatformClass(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::string current(name);
    for (size_t steps = 0; steps <= r.classes.size(); ++steps) {
        auto it = r.classes.find(current);
        if (it == r.classes.end()) return std::nullopt;
        if (it->second.platform) return current;
        if (it->second.superclass.empty()) return std::nullopt;
        current = it->second.superclass;
    }
    return std::nullopt;
}

bool ClassRegistry::hasStandIn(std::string_view name) {
    return standIns().count(name) > 0;
}

void ClassRegistry::addProperty(const std::string& className, PropertyInfo property) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes[className].properties.push_back(std::move(property));
}

std::vector<PropertyInfo> ClassRegistry::properties(std::string_view className) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(className);
    return it == r.classes.end() ? std::vector<PropertyInfo>{} : it->second.properties;
}

void ClassRegistry::addMethods(const std::string& className, const std::vector<std::string>& selectors) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes[className].methods.insert(selectors.begin(), selectors.end());
}

bool ClassRegistry::instancesRespond(std::string_view className, std::string_view selector) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::string current(className);
    for (size_t steps = 0; steps <= r.classes.size(); ++steps) {
        auto it = r.classes.find(current);
        if (it == r.classes.end()) return false;
        if (it->second.methods.count(selector)) return true;
        for (const auto& p : it->second.properties)
            if (p.name == selector) return true;
        if (it->second.superclass.empty()) return false;
        current = it->second.superclass;
    }
    return false;
}

}  // namespace brindlecue::platform
