#include "platform/uikit/ClassRegistry.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <unordered_map>

namespace brindlecue::platform {
namespace {

struct ClassEntry {
    std::string superclass;  // empty for a root class
    bool platform = false;
    std::vector<PropertyInfo> properties;
    std::set<std::string, std::less<>> methods;
};

using ClassMap = std::map<std::string, ClassEntry, std::less<>>;

struct Registry {
    std::mutex mutex;
    // The classes registered, and the platform classes looked up, so far.
    ClassMap classes;
    // Answers of isSubclass ("name\0ancestor"), forgotten whenever a class is registered.
    std::unordered_map<std::string, bool> subclassAnswers;
};

// The platform classes, each with its superclass: the UIKit stand-ins, the private classes the
// platform builds its containers and bars from, and the React Native classes hosts may carry.
constexpr std::pair<const char*, const char*> kPlatformClasses[] = {
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

// The platform classes by name, sorted when the library is compiled: a platform class is found
// there, and joins the registry only when it is first looked up.
constexpr auto kPlatformTable = [] {
    std::array<std::pair<std::string_view, std::string_view>, std::size(kPlatformClasses)> table{};
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = {kPlatformClasses[i].first, kPlatformClasses[i].second};
    std::sort(table.begin(), table.end());
    return table;
}();
static_assert(std::adjacent_find(kPlatformTable.begin(), kPlatformTable.end(),
                                 [](const auto& a, const auto& b) { return a.first == b.first; }) ==
                  kPlatformTable.end(),
              "a platform class is listed twice");

// Bounds a walk up the superclasses, so that a registration loop cannot hang it.
size_t classLimit(const Registry& r) {
    return r.classes.size() + kPlatformTable.size();
}

Registry& registry() {
    static auto* r = new Registry;  // leaked: workers may ask during exit
    return *r;
}

// Under the registry's lock: the class's entry, or the end for a class that is neither registered
// nor the platform's.
ClassMap::iterator find(Registry& r, std::string_view name) {
    if (auto it = r.classes.find(name); it != r.classes.end()) return it;
    auto platform = std::lower_bound(kPlatformTable.begin(), kPlatformTable.end(), name,
                                     [](const auto& entry, std::string_view n) { return entry.first < n; });
    if (platform == kPlatformTable.end() || platform->first != name) return r.classes.end();
    ClassEntry e;
    e.superclass = std::string(platform->second);
    e.platform = true;
    for (const auto& [owner, methods] : kPlatformMethods)
        if (name == owner) e.methods.insert(methods.begin(), methods.end());
    return r.classes.emplace(std::string(name), std::move(e)).first;
}

// Under the registry's lock: the class's entry, made empty for a class not known before.
ClassEntry& entry(Registry& r, const std::string& name) {
    auto it = find(r, name);
    return it != r.classes.end() ? it->second : r.classes[name];
}

}  // namespace

void ClassRegistry::registerClass(const std::string& name, const std::string& superclass, bool platform) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto& e = entry(r, name);
    e.superclass = superclass;
    e.platform = platform;
    r.subclassAnswers.clear();
}

bool ClassRegistry::exists(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return find(r, name) != r.classes.end();
}

std::optional<std::string> ClassRegistry::superclassOf(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = find(r, name);
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
    for (size_t steps = 0; steps <= classLimit(r); ++steps) {
        if (current == ancestor) {
            answer = true;
            break;
        }
        auto it = find(r, current);
        if (it == r.classes.end() || it->second.superclass.empty()) break;
        current = it->second.superclass;
    }
    r.subclassAnswers.emplace(std::move(key), answer);
    return answer;
}

bool ClassRegistry::isPlatformClass(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = find(r, name);
    return it != r.classes.end() && it->second.platform;
}

std::optional<std::string> ClassRegistry::nearestPlatformClass(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::string current(name);
    for (size_t steps = 0; steps <= classLimit(r); ++steps) {
        auto it = find(r, current);
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
    entry(r, className).properties.push_back(std::move(property));
}

std::vector<PropertyInfo> ClassRegistry::properties(std::string_view className) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = find(r, className);
    return it == r.classes.end() ? std::vector<PropertyInfo>{} : it->second.properties;
}

void ClassRegistry::addMethods(const std::string& className, const std::vector<std::string>& selectors) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    entry(r, className).methods.insert(selectors.begin(), selectors.end());
}

bool ClassRegistry::instancesRespond(std::string_view className, std::string_view selector) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::string current(className);
    for (size_t steps = 0; steps <= classLimit(r); ++steps) {
        auto it = find(r, current);
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
