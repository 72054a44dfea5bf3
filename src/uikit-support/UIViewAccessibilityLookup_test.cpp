#include "uikit-support/UIViewAccessibilityLookup.h"

#include <gtest/gtest.h>

#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIWindowScene.h"

namespace brindlecue {
namespace {

using namespace platform;
using Lookup = UIViewAccessibilityLookup;

class AccessibilityLookup : public testing::Test {
protected:
    void TearDown() override {
        key->setHidden(true);
        other->setHidden(true);
    }
    std::shared_ptr<UIView> tagged(const std::shared_ptr<UIView>& parent, std::optional<std::string> id) {
        auto v = make<UIView>();
        v->setAccessibilityIdentifier(std::move(id));
        parent->addSubview(v);
        return v;
    }
    std::shared_ptr<UIWindow> other = make<UIWindow>(CGRect(0, 0, 320, 480));
    std::shared_ptr<UIWindow> key = make<UIWindow>(CGRect(0, 0, 320, 480));
};

TEST_F(AccessibilityLookup, SearchesTheKeyWindowInPreOrder) {
    other->setHidden(false);
    key->makeKeyAndVisible();
    tagged(other, "elsewhere");
    auto parent = tagged(key, "twin");
    tagged(parent, "twin");
    auto plain = tagged(key, std::nullopt);
    auto deep = tagged(plain, "");
    tagged(key, "twin");

    EXPECT_EQ(Lookup::findByAccessibilityIdentifier("elsewhere"), nullptr);
    EXPECT_EQ(Lookup::findByAccessibilityIdentifier("twin"), parent);
    EXPECT_EQ(Lookup::findByAccessibilityIdentifier("TWIN"), nullptr);
    EXPECT_EQ(Lookup::findByAccessibilityIdentifier(""), deep);
    key->setAccessibilityIdentifier("twin");
    EXPECT_EQ(Lookup::findByAccessibilityIdentifier("twin"), key);
}

TEST_F(AccessibilityLookup, AKeyWindowOutsideTheConnectedScenesIsNotSearched) {
    key->makeKeyAndVisible();
    tagged(key, "here");
    auto detached = make<UIWindowScene>();
    key->setWindowScene(detached);
    EXPECT_EQ(Lookup::findByAccessibilityIdentifier("here"), nullptr);
}

}  // namespace
}  // namespace brindlecue
