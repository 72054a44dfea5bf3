#include "platform/uikit/ClassRegistry.h"

#include <gtest/gtest.h>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {
namespace {

TEST(ClassRegistry, KnowsPrivateAndReactNativeClassesWithTheirSuperclasses) {
    EXPECT_TRUE(ClassRegistry::isSubclass("_UIButtonBarButton", "UIControl"));
    EXPECT_TRUE(ClassRegistry::isSubclass("UINavigationButton", "UIButton"));
    EXPECT_TRUE(ClassRegistry::isSubclass("UISegment", "UIView"));
    EXPECT_TRUE(ClassRegistry::isSubclass("RCTRootContentView", "RCTView"));
    EXPECT_TRUE(ClassRegistry::isSubclass("RCTCustomScrollView", "UIScrollView"));
    EXPECT_TRUE(ClassRegistry::isSubclass("UICollectionViewCell", "UICollectionReusableView"));
    EXPECT_TRUE(ClassRegistry::isSubclass("RNSScreen", "UIViewController"));
    EXPECT_FALSE(ClassRegistry::isSubclass("UIView", "UIButton"));
    EXPECT_FALSE(ClassRegistry::isSubclass("NoSuchClass", "NSObject"));
    EXPECT_EQ(ClassRegistry::superclassOf("UITransitionView"), "UIView");
    EXPECT_EQ(ClassRegistry::superclassOf("NSObject"), std::nullopt);

    // Host classes join with their superclass and report their nearest platform class.
    ClassRegistry::registerClass("HomeViewController", "UIViewController");
    ClassRegistry::registerClass("SpecialHomeViewController", "HomeViewController");
    EXPECT_TRUE(ClassRegistry::isSubclass("SpecialHomeViewController", "UIResponder"));
    EXPECT_FALSE(ClassRegistry::isPlatformClass("HomeViewController"));
    EXPECT_EQ(ClassRegistry::nearestPlatformClass("SpecialHomeViewController"), "UIViewController");
    // A loop in host registrations does not hang the walk.
    ClassRegistry::registerClass("LoopA", "LoopB");
    ClassRegistry::registerClass("LoopB", "LoopA");
    EXPECT_FALSE(ClassRegistry::isSubclass("LoopA", "NSObject"));
}

// The platform's classes are known before anything asks for them, each with the methods the
// platform lists for it; a class registered again over one keeps them.
TEST(ClassRegistry, PlatformClassesAnswerFromTheFirstQuestionAndKeepTheirMethods) {
    EXPECT_TRUE(ClassRegistry::isPlatformClass("UICollectionView"));
    EXPECT_TRUE(ClassRegistry::instancesRespond("UICollectionView", "visibleSupplementaryViewsOfKind:"));
    // Inherited from a platform class no one asked for before.
    EXPECT_TRUE(ClassRegistry::instancesRespond("UICollectionView", "subviews"));
    EXPECT_TRUE(ClassRegistry::instancesRespond("UICollectionView", "becomeFirstResponder"));
    EXPECT_FALSE(ClassRegistry::instancesRespond("UICollectionView", "rootViewController"));
    EXPECT_FALSE(ClassRegistry::isPlatformClass("UICollectionViewX"));
    EXPECT_FALSE(ClassRegistry::exists("UICollectionViewX"));

    ClassRegistry::registerClass("UIWindow", "UIView", true);
    ClassRegistry::addMethods("UIWindow", {"makeKeyAndVisible"});
    EXPECT_TRUE(ClassRegistry::instancesRespond("UIWindow", "rootViewController"));
    EXPECT_TRUE(ClassRegistry::instancesRespond("UIWindow", "makeKeyAndVisible"));
    EXPECT_EQ(ClassRegistry::superclassOf("UIWindow"), "UIView");
}

struct HomeViewController : UIViewController {
    std::string className() const override { return "HomeViewControllerWithButton"; }
    std::shared_ptr<UIButton> button = make<UIButton>();
};

TEST(ClassRegistry, PropertyTablesAndRespondsToSelector) {
    // Registrations are the process's: made once, however often the test runs.
    static const bool registered = [] {
        ClassRegistry::registerClass("HomeViewControllerWithButton", "UIViewController");
        ClassRegistry::addProperty(
            "HomeViewControllerWithButton",
            {"button", "T@\"UIButton\",&,N,V_button", [](const NSObject& o) -> std::shared_ptr<NSObject> {
                 return static_cast<const HomeViewController&>(o).button;
             }});
        return true;
    }();
    ASSERT_TRUE(registered);
    auto vc = make<HomeViewController>();
    auto props = ClassRegistry::properties(vc->className());
    ASSERT_EQ(props.size(), 1u);
    EXPECT_EQ(props[0].name, "button");
    EXPECT_EQ(props[0].getter(*vc), vc->button);
    EXPECT_TRUE(ClassRegistry::properties("UIViewController").empty());  // own properties only
    EXPECT_TRUE(vc->respondsToSelector("button"));
    EXPECT_TRUE(vc->respondsToSelector("nextResponder"));
    EXPECT_FALSE(vc->respondsToSelector("view"));
    EXPECT_TRUE(vc->isKindOfClass("UIViewController"));
}

TEST(ClassRegistry, AssociatedObjectsAndKeyValues) {
    auto v = make<UIView>();
    auto strong = std::make_shared<int>(5);
    v->setAssociatedObject("strong", strong);
    {
        auto temp = std::make_shared<int>(6);
        v->setAssociatedObject("weak", temp, true);
        EXPECT_EQ(v->associatedObject<int>("weak"), temp);
    }
    EXPECT_EQ(v->associatedObject("weak"), nullptr);
    EXPECT_EQ(*v->associatedObject<int>("strong"), 5);
    v->setAssociatedValue("brindlecueWidgetType", "button");
    EXPECT_EQ(v->associatedValue("brindlecueWidgetType"), Value("button"));
    EXPECT_TRUE(v->associatedValue("missing").isAbsent());
    v->setValueForKey("nativeID", "login");
    EXPECT_EQ(v->valueForKey("nativeID"), Value("login"));
    v->setTag(3);
    EXPECT_EQ(v->valueForKey("tag"), Value(3));
}

TEST(NSLayoutConstraint, ActivationUsesTheNearestCommonAncestor) {
    auto root = make<UIView>(), a = make<UIView>(), b = make<UIView>(), lone = make<UIView>();
    root->addSubview(a);
    root->addSubview(b);
    auto c = NSLayoutConstraint::constraintWithItem(a, NSLayoutAttribute::Leading, NSLayoutRelation::Equal, b,
                                                    NSLayoutAttribute::Trailing, 1, 8);
    EXPECT_FALSE(c->isActive());
    c->setActive(true);
    EXPECT_EQ(c->holder(), root);
    EXPECT_EQ(root->constraints().size(), 1u);
    c->setConstant(12);
    c->setPriority(UILayoutPriorityDefaultHigh);
    EXPECT_EQ(c->constant(), 12);
    EXPECT_NE(c->description().find(".leading == UIView:"), std::string::npos);
    NSLayoutConstraint::deactivateConstraints({c});
    EXPECT_TRUE(root->constraints().empty());
    auto width = NSLayoutConstraint::constraintWithItem(a, NSLayoutAttribute::Width, NSLayoutRelation::Equal,
                                                        nullptr, NSLayoutAttribute::NotAnAttribute, 1, 100);
    width->setActive(true);
    EXPECT_EQ(width->holder(), a);
    auto unrelated = NSLayoutConstraint::constraintWithItem(
        a, NSLayoutAttribute::Top, NSLayoutRelation::Equal, lone, NSLayoutAttribute::Top, 1, 0);
    unrelated->setActive(true);
    EXPECT_FALSE(unrelated->isActive());
}

TEST(Geometry, NullEmptyIntersectionAndInverse) {
    CGRect a(0, 0, 10, 10), b(5, 5, 10, 10), c(20, 20, 1, 1);
    EXPECT_EQ(a.intersection(b), CGRect(5, 5, 5, 5));
    EXPECT_TRUE(a.intersection(c).isNull());
    EXPECT_TRUE(a.intersection(c).isEmpty());
    EXPECT_FALSE(a.intersects(CGRect(10, 0, 5, 5)));  // touching edges do not meet
    EXPECT_TRUE(CGRect(0, 0, 0, 5).isEmpty());
    EXPECT_EQ(CGRect(10, 10, -4, -4).standardized(), CGRect(6, 6, 4, 4));
    auto t = CGAffineTransform::makeScale(2, 3).translated(4, 5);
    CGPoint p = t.inverted().apply(t.apply(CGPoint{7, 9}));
    EXPECT_NEAR(p.x, 7, 1e-12);
    EXPECT_NEAR(p.y, 9, 1e-12);
    EXPECT_EQ(NSStringFromCGRect(CGRect(0, 1.5, 320, 44)), "{{0, 1.5}, {320, 44}}");
    EXPECT_EQ(UIEdgeInsetsInsetRect(CGRect(0, 0, 100, 100), {10, 5, 20, 5}), CGRect(5, 10, 90, 70));
}

TEST(ClassRegistry, EveryClassNameThatTargetingListsResolvesToItsPlatformFamily) {
    // Private, container and React Native classes named by the view-tree walks, each with the
    // class it must count as.
    const std::pair<const char*, const char*> expected[] = {
        {"_UIButtonBarButton", "UIControl"},
        {"_UIModernBarButton", "UIButton"},
        {"UINavigationButton", "UIButton"},
        {"UITabBarButton", "UIControl"},
        {"UITabBarButtonLabel", "UILabel"},
        {"UISegment", "UIImageView"},
        {"UITransitionView", "UIView"},
        {"UILayoutContainerView", "UIView"},
        {"UINavigationTransitionView", "UIView"},
        {"UIViewControllerWrapperView", "UIView"},
        {"UIDropShadowView", "UIView"},
        {"UITableViewCellContentView", "UIView"},
        {"_UITableViewCellSeparatorView", "UIView"},
        {"_UIVisualEffectBackdropView", "UIView"},
        {"UIVisualEffectView", "UIView"},
        {"UISearchBar", "UIView"},
        {"UIToolbar", "UIView"},
        {"UITextView", "UIScrollView"},
        {"UICollectionViewCell", "UICollectionReusableView"},
        {"UITableViewHeaderFooterView", "UIView"},
        {"__UITileLayer", "CALayer"},
        {"_UILabelContentLayer", "CALayer"},
        {"RCTView", "UIView"},
        {"RCTRootView", "UIView"},
        {"RCTRootContentView", "RCTView"},
        {"RCTScrollContentView", "RCTView"},
        {"RCTCustomScrollView", "UIScrollView"},
        {"RNSScreen", "UIViewController"},
        {"UIHostingController", "UIViewController"},
        {"WKWebView", "UIView"},
    };
    for (const auto& [name, family] : expected) {
        EXPECT_TRUE(ClassRegistry::isPlatformClass(name)) << name;
        EXPECT_TRUE(ClassRegistry::isSubclass(name, family)) << name << " is not a " << family;
    }
    // A misspelt name in the lists ("UISegmentControl") is no class: it must match nothing.
    EXPECT_FALSE(ClassRegistry::exists("UISegmentControl"));
    EXPECT_FALSE(ClassRegistry::exists("UIButtonBarButton"));
}

}  // namespace
}  // namespace brindlecue::platform
