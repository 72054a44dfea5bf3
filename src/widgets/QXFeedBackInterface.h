#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "foundation/BLQILoggable.h"
#include "platform/uikit/NSObject.h"
#include "widgets/BLQIFeedBackInterface.h"
#include "widgets/Launcher.h"
#include "widgets/ParseFAQ.h"

namespace brindlecue::platform {
class UIViewController;
class UIWindow;
namespace swiftui {
class UIHostingController;
}
}  // namespace brindlecue::platform

namespace brindlecue::widgets {

// The UIKit host of the floating button and its FAQ list. A widget campaign arrives as a setup
// text, a payload text and its ids; the host puts the button on the key window (tag 108101),
// opens and closes the list (108102) with an optional dimming view behind it (108103),
// acknowledges the feed the first time its list opens, runs the list buttons' actions and
// reports a don't-show-again.
//
// The acknowledgement goes out at most once per feed id: a campaign with another feed id starts
// closed and unacknowledged. A payload that does not decode opens nothing and acknowledges
// nothing. View work runs on the main queue; layoutUI may be called from any thread.
class QXFeedBackInterface final : public platform::NSObject,
                                  public BLQIFeedBackInterface,
                                  public BLQILoggable {
public:
    QXFeedBackInterface();
    const char* platformClassName() const override { return "NSObject"; }
    std::string className() const override { return "QXFeedBackInterface"; }

    // Keys "feedId" and "campaignId" of the feed data (empty when missing); mode true is
    // authoring mode (the list opens at once and is never acknowledged).
    void layoutUI(const std::string& setup, const std::string& payload,
                  const std::map<std::string, std::string>& feedData, bool mode) override;
    // Queues the button's layout on the main queue.
    void layoutFAB(const std::string& payload);
    // Prints the button host view's frame ("nil" without one); moves nothing.
    void adjustLayoutOnOrientationChange() override;
    // The dimming view's tap.
    void touchTapped(const std::shared_ptr<platform::NSObject>& sender);
    // Builds and shows the list; false (nothing shown) when the payload does not decode.
    bool showFAQList(const std::string& payload, const std::shared_ptr<const Launcher>& launcher);
    // Opens a call-to-action link; once it is opened, the guide id waits for its screen.
    void openURL(const std::string& link, const std::optional<std::string>& onDemandGuideId);
    // What a don't-show-again reports.
    platform::Value feedResult() const;

    std::shared_ptr<platform::swiftui::UIHostingController> faqListView() const { return faqListView_; }
    std::shared_ptr<platform::swiftui::UIHostingController> fabButtonView() const { return fabButtonView_; }
    std::shared_ptr<const Setup> setup() const;
    std::shared_ptr<const Payload> payload() const { return payload_; }
    std::shared_ptr<const Launcher> launcher() const;
    bool isFaqShown() const { return isFaqShown_; }
    bool authoringMode() const;
    bool isAcked() const { return isAcked_; }
    std::string campaignId() const;
    std::string feedId() const;
    platform::CGRect initialButtonPosition() const { return initialButtonPosition_; }

private:
    struct OriginCell {
        platform::CGPoint origin;
    };

    std::shared_ptr<QXFeedBackInterface> self() { return sharedAs<QXFeedBackInterface>(); }
    void launch(const std::weak_ptr<platform::UIWindow>& keyWindow, const std::string& payloadText,
                const std::shared_ptr<const Launcher>& launcher);
    void fabSizeReported(const std::shared_ptr<const Launcher>& launcher,
                         const std::shared_ptr<OriginCell>& cell, platform::CGSize size);
    void listSizeReported(const std::shared_ptr<const Launcher>& launcher, platform::CGSize size);
    void closeList(const std::shared_ptr<platform::UIWindow>& keyWindow);
    void faqPressed(const std::weak_ptr<platform::UIWindow>& keyWindow, const ButtonList& button);
    void dontShowPressed(const std::weak_ptr<platform::UIWindow>& keyWindow);

    std::shared_ptr<platform::swiftui::UIHostingController> faqListView_;
    std::shared_ptr<platform::swiftui::UIHostingController> fabButtonView_;
    std::shared_ptr<const Payload> payload_;
    bool isFaqShown_ = false;
    bool isAcked_ = false;
    platform::CGRect initialButtonPosition_;
    std::set<std::string> acknowledgedFeedIds_;

    // Written by layoutUI on its caller's thread.
    mutable std::mutex mutex_;
    std::shared_ptr<const Setup> setup_;
    std::shared_ptr<const Launcher> launcher_;
    bool authoringMode_ = false;
    std::string campaignId_;
    std::string feedId_;
};

}  // namespace brindlecue::widgets
