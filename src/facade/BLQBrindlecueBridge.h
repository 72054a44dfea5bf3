#pragma once

#include <optional>
#include <string>

#include "platform/NotificationCenter.h"

namespace brindlecue {

// The internal notification bus: it turns the notifications that screens, the facade, the tip
// engine, preview mode and host code post into calls on the tip engine (which hands what waits for
// the user to its triggers) and the facade. It has no state; it observes the default centre from the moment the facade first
// starts it ("KJ_InitBridge_Notification") to the end of the process. Handlers run on the posting
// thread, like every observer without a queue.
class BLQBrindlecueBridge {
public:
    static constexpr const char* kClassName = "BLQBrindlecueBridge";

    // Enters the bus's class in the class registry (so that the facade and its React Native path
    // find it by name); true once it is there.
    static bool registerClass();
    // Registers the bus's fifteen observations, once.
    static void bridgeHandler(const platform::Notification& notification);
    // Test-only: removes the observations. The library never calls it.
    static void resetForTesting();

    static void parseTipFromFeedsHandler(const platform::Notification& notification);
    static void parseTipFromPagingFeed(const platform::Notification& notification);
    static void showTipForViewControllerHandler(const platform::Notification& notification);
    static void showOffScreenTips(const platform::Notification& notification);
    static void customFeedForViewControllerHandler(const platform::Notification& notification);
    static void targetSuperTagForViewControllerHandler(const platform::Notification& notification);
    static void increaseSuperTagForViewControllerHandler(const platform::Notification& notification);
    static void forceDismissTipForViewControllerHandler(const platform::Notification& notification);
    static void enterCustomerVCHandler(const platform::Notification& notification);
    static void exitCustomerVCHandler(const platform::Notification& notification);
    static void tagBrindlecueVersionHandler(const platform::Notification& notification);
    static void sendFeedResultHandler(const platform::Notification& notification);
    static void registerRCTViewName(const platform::Notification& notification);
    static void showSDKIntegrationIssue(const platform::Notification& notification);

    // The React Native screen now shown: the key window's root controller under the name, or
    // under none when the registration named none (main thread).
    static void customerViewName(const std::optional<std::string>& name);
    // Shows the on-demand guide the facade waits to show, if any.
    static void showOnDemandCampaign();

    BLQBrindlecueBridge() = delete;
};

}  // namespace brindlecue
