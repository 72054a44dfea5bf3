#pragma once

// Doubles for preview mode's tests: a tip engine that records what preview mode asks of it, the
// facade's side (top screen, feed and tag managers, SDK check), a preview-mode manager that
// records statuses and hands out named stand-in icons, a delegate, and a host app with a key
// window showing one of two screens.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "network/BLQIHTTPManager.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "preview/BLQIPreviewModeDelegate.h"
#include "preview/BLQIPreviewModeFacade.h"
#include "preview/BLQPreviewModeLink.h"
#include "support/StubTipManager.h"
#include "tags/BLQITagManager.h"
#include "targeting/KJTipTargetElement.h"

namespace brindlecue::previewscene {

using namespace brindlecue::platform;

class Screen : public UIViewController {
public:
    explicit Screen(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

// A tip engine that records the calls of preview mode (main thread, except where noted).
class PreviewTipManager final : public testsupport::StubTipManager {
public:
    std::shared_ptr<UIViewController> customerCurrentVC() const override {
        std::lock_guard lock(mutex_);
        return current_.lock();
    }
    void setCustomerCurrentVC(const std::shared_ptr<UIViewController>& controller) override {
        std::lock_guard lock(mutex_);
        current_ = controller;
        ++currentSets;
    }
    SeriesList cachedTips() const override { return cached; }
    int32_t currentTipType() const override { return tipType; }
    std::shared_ptr<UIView> tipCoverView() const override { return cover; }
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override { return currentTip; }
    int64_t multipleTourIndex() const override { return tourIndex; }
    void setMultipleTourIndex(int64_t index) override { tourIndex = index; }
    std::optional<std::string> onDemandGuideId() const override { return onDemand; }
    void setOnDemandGuideId(std::optional<std::string> id) override { onDemand = std::move(id); }

    void removePreviewTips() override { calls.push_back("removePreviewTips"); }
    void replyCachedPreviewTips() override { calls.push_back("replyCachedPreviewTips"); }
    void sendTipUpdatedNotification() override { calls.push_back("sendTipUpdatedNotification"); }
    void dismissAShowingTipWithCompletion(std::function<void()>) override {
        calls.push_back("dismissAShowingTip");
    }
    void removeFAQLauncher() override { calls.push_back("removeFAQLauncher"); }
    void removeAllOffScreenTips() override { calls.push_back("removeAllOffScreenTips"); }
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) override {
        unhooked.push_back(series);
    }
    void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                               const std::shared_ptr<UIViewController>& controller, double delay) override {
        hooked.push_back({series, controller, delay});
    }
    void showTip(const std::shared_ptr<KJTipElement>& step,
                 const std::shared_ptr<UIViewController>& controller, const std::shared_ptr<UIView>& target,
                 double delay, bool withCover) override {
        shown.push_back({step, controller, delay});
        if (onShowTip) onShowTip();
    }

    struct Placement {
        std::shared_ptr<KJTipSeriesElement> series;
        std::shared_ptr<UIViewController> controller;
        double delay;
    };
    struct Showing {
        std::shared_ptr<KJTipElement> step;
        std::shared_ptr<UIViewController> controller;
        double delay;
    };

    size_t count(const std::string& call) const {
        return size_t(std::count(calls.begin(), calls.end(), call));
    }

    SeriesList cached;
    int32_t tipType = 0;
    std::shared_ptr<UIView> cover;
    std::shared_ptr<BLQITipViewController> currentTip;
    int64_t tourIndex = 0;
    std::optional<std::string> onDemand;
    int currentSets = 0;
    std::function<void()> onShowTip;
    std::vector<std::string> calls;
    std::vector<std::shared_ptr<KJTipSeriesElement>> unhooked;
    std::vector<Placement> hooked;
    std::vector<Showing> shown;

private:
    mutable std::mutex mutex_;
    std::weak_ptr<UIViewController> current_;
};

// Keeps each request; the test answers it.
class HeldHTTPManager final : public BLQIHTTPManager {
public:
    struct Request {
        std::string method;
        URL url;
        Completion completion;
    };
    void delete_(const URL& url, Completion c) override { held.push_back({"DELETE", url, std::move(c)}); }
    void get(const URL& url, Completion c) override { held.push_back({"GET", url, std::move(c)}); }
    void patch(const URL& url, const Data&, Completion c) override {
        held.push_back({"PATCH", url, std::move(c)});
    }
    void post(const URL& url, const Data&, Completion c) override {
        held.push_back({"POST", url, std::move(c)});
    }
    // Answers once; the completion (which holds its requester) is let go.
    void answer(size_t i, int status, const std::string& body) {
        Completion completion = std::exchange(held.at(i).completion, nullptr);
        completion(BLQHTTPResult::success(
            Data(body.begin(), body.end()),
            std::make_shared<HTTPURLResponse>(held[i].url, status, HTTPHeaderFields{})));
    }
    std::vector<Request> held;
};

class RecordingFeedManager final : public BLQIFeedManager {
public:
    std::shared_ptr<BLQIFeedReceivedDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::shared_ptr<BLQIFeedReceivedDelegate>) override {}
    void checkFeedTimeStamp(const std::string&) override {}
    void fetchFeeds(std::optional<Date> serverDate) override { fetches.push_back(serverDate); }
    void processFeeds(const std::vector<std::shared_ptr<KJFeedObject>>&, BLQFeedOrigin) override {}
    std::vector<std::optional<Date>> fetches;
};

class RecordingTagManager final : public BLQITagManager {
public:
    void deleteTagWithKey(const std::string& key) override { deleted.push_back(key); }
    std::shared_ptr<BLQTagDTO> getTagWithKey(const std::string&) override { return nullptr; }
    std::string getTagValueWithKey(const std::string&) override { return {}; }
    void incrementTagWithKey(const std::string&, int64_t) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock) override {}
    void saveTagWithKey(const std::string&, const std::any&, SuccessBlock, FailureBlock, bool) override {}
    std::vector<std::string> deleted;
};

class Facade final : public BLQIPreviewModeFacade {
public:
    std::shared_ptr<BLQIFeedManager> feedManager() const override { return feeds; }
    std::shared_ptr<BLQITagManager> tagManager() const override { return tags; }
    std::shared_ptr<UIViewController> topMostViewController() const override { return top.lock(); }
    void verifySDKVersion() override { ++sdkChecks; }

    std::shared_ptr<RecordingFeedManager> feeds = std::make_shared<RecordingFeedManager>();
    std::shared_ptr<RecordingTagManager> tags = std::make_shared<RecordingTagManager>();
    std::weak_ptr<UIViewController> top;
    int sdkChecks = 0;
};

class RecordingDelegate final : public BLQIPreviewModeDelegate {
public:
    void onPreviewModeToggledWithPreviewModeActive(bool active) override { toggles.push_back(active); }
    void onPreviewModeCheckSuccessWithResponse(const Value& response, const URL&) override {
        responses.push_back(response);
    }
    void onPreviewModeCheckFailureWithError(const Error& error) override { failures.push_back(error); }
    std::vector<bool> toggles;
    std::vector<Value> responses;
    std::vector<Error> failures;
};

// Records statuses (any thread) and menu commands, and hands out a 20-point stand-in image named
// after each icon it is asked for.
class RecordingPreviewMode final : public BLQIPreviewModeManager {
public:
    struct Status {
        BLQPreviewModeNotificationState state;
        std::string message;
        bool operator==(const Status&) const = default;
    };
    bool isInPreviewMode() const override { return true; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>&) override {}
    void togglePreviewModeView(bool) override {}
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& message) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back({state, message});
    }
    void captureScreenShot() override { commands.push_back("captureScreenShot"); }
    void replayGuide() override { commands.push_back("replayGuide"); }
    void exitPreviewMode() override { commands.push_back("exitPreviewMode"); }
    std::shared_ptr<UIImage> getLocalImage(const std::string& name) override {
        if (missing.count(name)) return nullptr;
        return std::make_shared<UIImage>(CGSize{20, 20}, 1, name);
    }
    std::vector<Status> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }

    std::vector<std::string> commands;
    std::set<std::string> missing;

private:
    mutable std::mutex mutex_;
    std::vector<Status> statuses_;
};

// A key window of the main screen's size showing "HomeViewController"; "CartViewController" is
// the other screen. The facade's side is published for the test's lifetime.
struct HostApp {
    HostApp() {
        ClassRegistry::registerClass("HomeViewController", "UIViewController");
        ClassRegistry::registerClass("CartViewController", "UIViewController");
        home = make<Screen>("HomeViewController");
        cart = make<Screen>("CartViewController");
        window = make<UIWindow>(UIScreen::mainScreen()->bounds());
        window->setRootViewController(home);
        window->makeKeyAndVisible();
        facade->top = home;
        BLQPreviewModeLink::setFacade(facade);
    }
    ~HostApp() {
        RunLoop::main().runUntilIdle();
        window->setHidden(true);
    }

    std::shared_ptr<Screen> home, cart;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Facade> facade = std::make_shared<Facade>();
};

// A target on the screen of that name.
inline std::shared_ptr<KJTipTargetElement> targetOn(const std::string& screen) {
    auto target = std::make_shared<KJTipTargetElement>();
    if (!screen.empty()) target->setVcClass(screen);
    return target;
}

// A page-open campaign of the feed id with steps on the screen, modified at the time.
inline std::shared_ptr<KJTipSeriesElement> campaign(const std::string& feedId, double modified,
                                                    const std::string& screen = "HomeViewController",
                                                    size_t steps = 2) {
    auto series = std::make_shared<KJTipSeriesElement>();
    series->feed_id = feedId;
    series->campaignid = "campaign-" + feedId;
    series->modified = Date::fromTimeIntervalSince1970(modified);
    series->tipType = 2;
    series->triggerType = 1;
    series->target = targetOn(screen);
    series->currentPreviewStep = INT64_MAX;
    for (size_t i = 0; i < steps; ++i) {
        auto step = std::make_shared<KJTipElement>();
        step->feed_id = feedId;
        step->target = targetOn(screen);
        series->arrayTips.push_back(step);
    }
    return series;
}

}  // namespace brindlecue::previewscene
