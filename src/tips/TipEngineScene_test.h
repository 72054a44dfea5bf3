#pragma once

// A host app for the tip engine's tests: a key window showing HomeViewController (a second screen,
// CartViewController, can replace it), the campaign cache with the campaign model and its
// matching, and recording doubles for everything the engine calls out to: the tip controllers
// (registered for every kind), the facade, the triggers, the widget host, the preview tip cache
// and the preview-mode manager. Campaigns are written as feed items and taken in through the
// engine or stored directly. Time is virtual; the presenting worker is let go by moving the clock
// on in small steps while the main queue runs (settle).

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipCacheManager.h"
#include "feed/BLQITipViewController.h"
#include "feed/KJFeedConditions.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "matching/BLQIClientSideTriggerManager.h"
#include "matching/CampaignMatching.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "storage/KJDBManager.h"
#include "support/RecordingLoggerManager.h"
#include "targeting/KJTipTargetElement.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/BLQITipTriggers.h"
#include "tips/KJTipManager.h"
#include "widgets/BLQIFeedBackInterface.h"

namespace brindlecue::tipscene {

using namespace brindlecue::platform;

constexpr const char* kAppKey = "scene-key";

class Screen : public UIViewController {
public:
    explicit Screen(std::string name) : name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

class CoverView final : public UIView {
public:
    std::string className() const override { return "KJCoverView"; }
};

// A tip controller that puts a cover view holding the tip on the key window when it presents
// (or fails, or keeps the cover out of every window, as told), and that the test drives like a
// user.
class RecordingTipController final : public BLQITipViewController {
public:
    enum class Outcome { show, fail, offWindow };

    void setTipManager(const std::weak_ptr<BLQITipManager>&) override {}
    void setTip(const std::shared_ptr<KJTipElement>& step) override { tip_ = step; }
    std::shared_ptr<KJTipElement> tip() const override { return tip_; }
    void setClickOutsideHandler(OutsideHandler h) override { outside = std::move(h); }
    void setClickCloseButtonHandler(CloseHandler h) override { close = std::move(h); }
    void setClickButton1Handler(ButtonHandler h) override { previous = std::move(h); }
    void setClickButton2Handler(ButtonHandler h) override { next = std::move(h); }
    void setDismissHandler(DismissHandler h) override { dismissed = std::move(h); }
    std::shared_ptr<UIView> coverView() const override { return cover_; }

    void presentTipWithCoverView(const std::shared_ptr<UIView>& cover, const std::shared_ptr<UIWindow>& inWindow,
                                 const std::shared_ptr<UIViewController>&, PresentSuccess success,
                                 PresentFailure failure) override {
        ++presentations;
        presentedInWindow = inWindow;
        if (outcome == Outcome::fail) {
            if (failure) failure(tip_);
            return;
        }
        cover_ = cover ? cover : make<CoverView>();
        if (cover_->subviews().empty()) cover_->addSubview(make<UIView>());
        if (auto window = UIApplication::sharedApplication()->keyWindow(); window && outcome == Outcome::show)
            window->addSubview(cover_);
        if (success) success(tip_);
    }
    void dismissTipWithRemoveCoverView(bool removeCover, bool, std::function<void()> completion) override {
        ++dismissals;
        if (!isMainThread()) dismissedOffTheMainThread = true;
        if (removeCover && cover_) cover_->removeFromSuperview();
        if (dismissed) dismissed();
        if (completion) completion();
    }
    void dismissOnTopWithRemoveCover(bool) override {
        ++onTopDismissals;
        if (cover_) cover_->removeFromSuperview();
    }
    void switchToNextTip(bool report, bool triggerAction) override {
        if (next) next(report, triggerAction);
    }

    bool isPresented() const { return presentations > 0; }

    Outcome outcome = Outcome::show;
    OutsideHandler outside;
    CloseHandler close;
    ButtonHandler previous;
    ButtonHandler next;
    DismissHandler dismissed;
    double createdAt = Clock::uptime();
    int presentations = 0;
    int dismissals = 0;
    int onTopDismissals = 0;
    bool dismissedOffTheMainThread = false;
    std::shared_ptr<UIWindow> presentedInWindow;  // the window the last presentation named

private:
    std::shared_ptr<KJTipElement> tip_;
    std::shared_ptr<UIView> cover_;
};

// Registers a maker of recording controllers for every kind while it lives, and a dialog
// presenter that keeps what it was asked to show.
struct ScopedControllers {
    static constexpr BLQTipViewControllerKind kKinds[] = {
        BLQTipViewControllerKind::pop, BLQTipViewControllerKind::modal, BLQTipViewControllerKind::coachmark,
        BLQTipViewControllerKind::feedback};

    ScopedControllers() {
        for (auto kind : kKinds) {
            BLQTipViewControllerRegistry::registerMaker(kind, [this, kind] {
                auto controller = std::make_shared<RecordingTipController>();
                controller->outcome = nextOutcome;
                made.push_back(controller);
                kinds.push_back(kind);
                return controller;
            });
        }
        BLQTipViewControllerRegistry::registerDialogPresenter(
            [this](const std::optional<std::string>& title, const std::optional<std::string>&,
                   const std::vector<std::string>& buttons, std::function<void(int64_t)> handler) {
                dialogTitle = title;
                dialogButtons = buttons;
                dialogHandler = std::move(handler);
            });
    }
    ~ScopedControllers() {
        for (auto kind : kKinds) BLQTipViewControllerRegistry::registerMaker(kind, nullptr);
        BLQTipViewControllerRegistry::registerDialogPresenter(nullptr);
    }
    ScopedControllers(const ScopedControllers&) = delete;
    ScopedControllers& operator=(const ScopedControllers&) = delete;

    // The controllers made for the feed id, in order.
    std::vector<std::shared_ptr<RecordingTipController>> of(const std::string& feedId) const {
        std::vector<std::shared_ptr<RecordingTipController>> out;
        for (const auto& c : made)
            if (c->tip() && c->tip()->feed_id == feedId) out.push_back(c);
        return out;
    }
    std::shared_ptr<RecordingTipController> presented(const std::string& feedId) const {
        for (const auto& c : of(feedId))
            if (c->isPresented()) return c;
        return nullptr;
    }

    std::vector<std::shared_ptr<RecordingTipController>> made;
    std::vector<BLQTipViewControllerKind> kinds;
    RecordingTipController::Outcome nextOutcome = RecordingTipController::Outcome::show;
    std::optional<std::string> dialogTitle;
    std::vector<std::string> dialogButtons;
    std::function<void(int64_t)> dialogHandler;
};

struct FeedResult {
    std::string feedId, campaignId;
    BLQFeedResult result;
    std::string stepId;
    bool deleteFeed, completed;
    bool operator==(const FeedResult&) const = default;
};

inline void PrintTo(const FeedResult& r, std::ostream* os) {
    *os << "{" << r.feedId << ", " << r.campaignId << ", " << static_cast<int>(r.result) << ", " << r.stepId
        << ", delete " << r.deleteFeed << ", completed " << r.completed << "}";
}

// Passes the trigger conditions whose tags it holds.
class FakeTriggerManager final : public BLQIClientSideTriggerManager {
public:
    bool checkForMatchesWithTriggerConditions(
        const std::vector<std::shared_ptr<KJFeedConditions>>& c) override {
        for (const auto& condition : c)
            if (!passingTags.count(condition->tag)) return false;
        return true;
    }
    void checkForMatches() override {}
    std::set<std::string> passingTags;
};

class FakePreviewModeManager final : public BLQIPreviewModeManager {
public:
    bool isInPreviewMode() const override { return true; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>&) override {}
    void togglePreviewModeView(bool) override {}
    std::shared_ptr<UIViewController> previewModeView() override { return overlay; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string&) override {
        states.push_back(static_cast<int64_t>(state));
    }
    std::vector<int64_t> states;
    std::shared_ptr<UIViewController> overlay;  // the panel's controller, when one is shown
};

class RecordingFacade final : public BLQITipManagerDelegate {
public:
    std::optional<std::string> appKey() const override { return kAppKey; }
    std::string developmentPlatform() const override { return "native"; }
    void notifyFeedResult(const std::string& feedId, const std::string& campaignId, BLQFeedResult result,
                          const std::string& stepId, bool deleteFeed, bool completed) override {
        std::lock_guard lock(mutex);
        results.push_back({feedId, campaignId, result, stepId, deleteFeed, completed});
    }
    void notifyFeedResultOnError(const std::string& feedId, const std::string& campaignId,
                                 const std::string& tipType, const std::string& stepId,
                                 const Value& message) override {
        std::lock_guard lock(mutex);
        errors.push_back({feedId, campaignId, tipType, stepId, message.description()});
    }
    void sendFeedAck(const std::string& feedId) override {
        std::lock_guard lock(mutex);
        acks.push_back(feedId);
    }
    void onDemandCampaignShown() override {}
    std::optional<Date> feedsModifiedTime() const override { return modifiedTime; }
    void setFeedsModifiedTime(std::optional<Date> time) override { modifiedTime = time; }
    std::shared_ptr<BLQIClientSideTriggerManager> clientSideTriggerManager() const override {
        return triggers;
    }
    std::shared_ptr<BLQIPreviewModeManager> previewModeManager() const override { return previewMode; }

    std::vector<std::string> acksSoFar() {
        std::lock_guard lock(mutex);
        return acks;
    }

    std::mutex mutex;
    std::vector<FeedResult> results;
    std::vector<std::vector<std::string>> errors;
    std::vector<std::string> acks;
    std::optional<Date> modifiedTime;
    std::shared_ptr<FakeTriggerManager> triggers = std::make_shared<FakeTriggerManager>();
    std::shared_ptr<FakePreviewModeManager> previewMode = std::make_shared<FakePreviewModeManager>();
};

class RecordingTriggers final : public BLQITipTriggers {
public:
    void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                               const std::shared_ptr<UIViewController>&, double) override {
        hooked.push_back(series->feed_id.value_or(""));
    }
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) override {
        unhooked.push_back(series->feed_id.value_or(""));
    }
    void showOnDemandGuide(const std::string& campaignId) override { onDemand.push_back(campaignId); }
    void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>&) override {}
    void customFeedForViewController(const std::shared_ptr<UIViewController>&) override {}
    void targetSuperTagForViewController(const std::shared_ptr<UIViewController>&) override {}
    void superTagEventHandlerV2(const std::shared_ptr<NSObject>&) override {}
    void removeFAQLauncher() override {}
    void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) override {
        std::lock_guard lock(mutex);
        offScreen[step->feed_id.value_or("")] = step;
    }
    void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) override {
        std::lock_guard lock(mutex);
        offScreen.erase(step->feed_id.value_or(""));
    }
    bool hasOffScreenTip(const std::string& feedId) const override {
        std::lock_guard lock(mutex);
        return offScreen.count(feedId) > 0;
    }
    void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>&) override {}
    void removeAllOffScreenTips() override {}
    std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const override { return {}; }
    void displayOffScreenTips(const Value&, const Notification::ObjectMap&) override {}

    mutable std::mutex mutex;
    std::vector<std::string> hooked, unhooked, onDemand;
    std::map<std::string, std::shared_ptr<KJTipElement>> offScreen;
};

class RecordingWidgetHost final : public BLQIFeedBackInterface {
public:
    void layoutUI(const std::string& setup, const std::string& payload,
                  const std::map<std::string, std::string>& feedData, bool mode) override {
        layouts.push_back({setup, payload, feedData.count("feedId") ? feedData.at("feedId") : "",
                           feedData.count("campaignId") ? feedData.at("campaignId") : "",
                           mode ? "true" : "false"});
    }
    void adjustLayoutOnOrientationChange() override { ++adjustments; }
    std::vector<std::vector<std::string>> layouts;
    int adjustments = 0;
};

class RecordingTipCache final : public BLQITipCacheManager {
public:
    std::vector<std::shared_ptr<KJTipSeriesElement>> cachedTips() const override { return tips; }
    int64_t showingTipIndex() const override { return 0; }
    void setShowingTipIndex(int64_t) override {}
    void replayCachedPreviewTips() override {}
    void removePreviewTips() override { tips.clear(); }
    void replaceCachedTip(int64_t i, const std::shared_ptr<KJTipSeriesElement>& s) override {
        tips.at(i) = s;
    }
    void removeCachedTip(const std::shared_ptr<KJTipSeriesElement>& series) override {
        std::erase(tips, series);
    }
    void removeCachedTipAtIndex(int64_t) override {}
    std::vector<std::shared_ptr<KJTipSeriesElement>> tips;
};

// ---- Campaign documents ---------------------------------------------------------------------------

struct StepSpec {
    std::string tool = "modal";
    std::string view = "HomeViewController";
    std::string target{};  // "target" of the step (a control name or a "point_" position)
    double delay = 0;
    std::string cta{};    // the next button's action address
    std::string extra{};  // more JSON members of the step document, with a leading comma
    std::string meta{};   // more JSON members of the step's "meta", with a leading comma
};

struct CampaignSpec {
    std::string id{};
    std::string tool = "modal";
    std::string trigger = "page-open";
    int priority = 1;
    std::string modified = "2025-06-01T12:00:00.000Z";
    std::string activates = "2025-01-01T00:00:00.000Z";
    std::string expires = "2030-01-01T00:00:00.000Z";
    std::string appKey = kAppKey;
    bool preview = false;
    std::string repeat{};    // repeat_conditions JSON list
    std::string triggers{};  // trigger_conditions JSON list
    std::vector<StepSpec> steps{StepSpec{}};
};

inline Value feedItem(const CampaignSpec& c) {
    std::string steps;
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const StepSpec& s = c.steps[i];
        if (i > 0) steps += ",";
        steps += R"({"meta": {"id": "s)" + std::to_string(i) + R"(", "tool": ")" + s.tool +
                 R"(", "view": ")" + s.view + R"(", "delay": )" + std::to_string(s.delay) +
                 (s.target.empty() ? "" : R"(, "target-params": {}, "target": ")" + s.target + "\"") +
                 s.meta + "}" +
                 (s.cta.empty() ? "" : R"(, "buttons": {"next": {"text": "Go", "cta": ")" + s.cta + "\"}}") +
                 s.extra + "}";
    }
    std::string text = R"({"id": ")" + c.id + R"(", "app_key": ")" + c.appKey + R"(", "campaignid": "c-)" +
                       c.id + R"(", "type": ")" + (c.preview ? "PREVIEW" : "CAMPAIGN") +
                       R"(", "priority": )" + std::to_string(c.priority) + R"(, "activates": ")" +
                       c.activates + R"(", "expires": ")" + c.expires + R"(", "modified": ")" + c.modified +
                       "\"" + (c.repeat.empty() ? "" : R"(, "repeat_conditions": )" + c.repeat) +
                       (c.triggers.empty() ? "" : R"(, "trigger_conditions": )" + c.triggers) +
                       R"(, "content": {"setup": {"tool": ")" + c.tool +
                       R"(", "view": "HomeViewController", "display": ["dom"], "launcher": {"type": ")" +
                       c.trigger + R"("}}, "payload": [)" + steps + "]}}";
    auto parsed = Value::fromJSON(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(Value());
}

inline std::shared_ptr<KJFeedObject> feed(const CampaignSpec& c) {
    auto record = KJFeedObject::createFromDictionary(feedItem(c));
    if (record && c.preview) record->setIsPreview(true);
    return record;
}

// ---- The scene ----------------------------------------------------------------------------------

class TipEngineTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        ClassRegistry::registerClass("HomeViewController", "UIViewController");
        ClassRegistry::registerClass("CartViewController", "UIViewController");
        ClassRegistry::registerClass("KJCoverView", "UIView");
        KJTipTargetElement::registerWithCampaignModel();
        auto cache = KJDBManager::sharedInstance();
        cache->updateCollaborators([](KJDBManager::Collaborators& c) {
            c.appKey = [] { return std::optional<std::string>(kAppKey); };
        });
        KJTipSeriesElement::registerWithCampaignCache(*cache);
        CampaignMatching::registerWithCampaignCache(*cache);
        log = testsupport::RecordingLoggerManager::install();

        home = make<Screen>("HomeViewController");
        cart = make<Screen>("CartViewController");
        window = make<UIWindow>();
        window->setRootViewController(home);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
        makeEngine();
    }

    void TearDown() override {
        // Every tip goes and every presenting worker lets go of the single-tip lock.
        if (engine) {
            auto lock = engine->singleTipLock();
            settle([&] {
                for (const auto& c : controllers.made)
                    if (c->coverView()) c->coverView()->removeFromSuperview();
                if (!lock->try_lock()) return false;
                lock->unlock();
                return true;
            });
        }
        window->setHidden(true);
        BLQFacadeLink::setPreviewModeCheck(nullptr);
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setLoggerManager(nullptr);
    }

    // A new engine, which reads the campaign cache as it is now.
    void makeEngine() {
        engine = KJTipManager::make(widgets);
        engine->setDelegate(facade);
        engine->setTriggers(triggers);
        engine->setCustomerCurrentVC(home);
        BLQFacadeLink::setTipManager(engine);
    }

    void store(const std::vector<CampaignSpec>& campaigns) {
        std::vector<std::shared_ptr<KJDBFeedRecord>> records;
        for (const auto& c : campaigns) records.push_back(feed(c));
        ASSERT_TRUE(KJDBManager::sharedInstance()->saveMultipleTipSeries(records));
    }

    void enterPreviewMode() {
        BLQFacadeLink::setPreviewModeCheck([] { return true; });
    }

    void showScreen(const std::shared_ptr<UIViewController>& screen, Value info = Value::dictionary()) {
        engine->showTipForViewController(info, {{"vc", screen}});
    }

    // Runs the main queue while moving the clock on by small steps (at most the given virtual
    // seconds) until the condition holds.
    bool settle(const std::function<bool()>& condition, double maxSeconds = 30.0) {
        double moved = 0;
        RunLoop::main().runUntil([&] {
            if (condition() || moved >= maxSeconds) return true;
            Clock::advance(0.05);
            moved += 0.05;
            return condition();
        });
        return condition();
    }

    // The live campaign of the feed id.
    std::shared_ptr<KJTipSeriesElement> live(const std::string& feedId) const {
        for (const auto& s : engine->innerTipSeries())
            if (s->feed_id == feedId) return s;
        return nullptr;
    }

    std::vector<std::string> liveIds() const {
        std::vector<std::string> out;
        for (const auto& s : engine->innerTipSeries()) out.push_back(s->feed_id.value_or(""));
        return out;
    }

    size_t failures() const { return log->count("Guides: tip not shown"); }

    ScopedControllers controllers;
    std::shared_ptr<testsupport::RecordingLoggerManager> log;
    std::shared_ptr<RecordingFacade> facade = std::make_shared<RecordingFacade>();
    std::shared_ptr<RecordingTriggers> triggers = std::make_shared<RecordingTriggers>();
    std::shared_ptr<RecordingWidgetHost> widgets = std::make_shared<RecordingWidgetHost>();
    std::shared_ptr<Screen> home, cart;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<KJTipManager> engine;
};

}  // namespace brindlecue::tipscene
