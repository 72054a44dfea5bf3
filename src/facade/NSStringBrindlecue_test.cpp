#include "facade/NSStringBrindlecue.h"

#include <gtest/gtest.h>

#include "platform/Bundle.h"

namespace brindlecue {
namespace {

TEST(NSStringBrindlecue, APageNameLosesOnlyTheHostAppsModulePrefix) {
    platform::Bundle::createMainBundle({{"CFBundleIdentifier", "com.shop"}, {"CFBundleName", "ShopApp"}});
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopApp.OrdersViewController"), "OrdersViewController");
    // Only the first word, and only when it is the whole module name.
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopApp.Orders.ListViewController"), "Orders.ListViewController");
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopAppKit.OrdersViewController"), "ShopAppKit.OrdersViewController");
    EXPECT_EQ(NSStringBrindlecue::refinePageName("Payments.ShopApp.CardViewController"),
              "Payments.ShopApp.CardViewController");
    EXPECT_EQ(NSStringBrindlecue::refinePageName("OrdersViewController"), "OrdersViewController");
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopApp"), "ShopApp");
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopApp."), "");
}

TEST(NSStringBrindlecue, WithoutABundleNameAPageNameComesBackUnchanged) {
    platform::Bundle::createMainBundle({{"CFBundleIdentifier", "com.shop"}});
    EXPECT_EQ(NSStringBrindlecue::refinePageName("ShopApp.OrdersViewController"), "ShopApp.OrdersViewController");
    // No bundle name is not the text "(null)".
    EXPECT_EQ(NSStringBrindlecue::refinePageName("(null).OrdersViewController"), "(null).OrdersViewController");
}

}  // namespace
}  // namespace brindlecue
