// Super-tag counting of a screen's clicks, and the steps whose target was off screen.
#include <fstream>
#include <iterator>

#include "config/BLQUtilsFacade.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipTextElement.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/NSStringKJExt.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tags/BLQITagManager.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/UIViewBrindlecueSDK.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipManagerSupport.h"
#include "tips/KJTipTriggers.h"

namespace brindlecue {

using platform::UIView;
using platform::Value;
using namespace tipengine;

namespace {

constexpr int32_t kViewSuperTag = 0;
constexpr int32_t kClickSuperTag = 1;
constexpr double kRetryInterval = 1.0;
constexpr const char* kParseFeedNotification = "BLQ_BrindlecueBridge_ParseFeed_Notification";

const platform::Selector& superTagSelector() {
    static const auto* selector = new platform::Selector(
        platform::makeSelector("superTagEventHandlerV2:", &KJTipTriggers::superTagEventHandlerV2));
    return *selector;
}

}  // namespace

// ---- Super tags ------------------------------------------------------------------------------------

void KJTipTriggers::targetSuperTagForViewController(
    const std::shared_ptr<platform::UIViewController>& controller) {
    if (!controller || blqIsSDKViewController(controller)) return;
    std::weak_ptr<KJTipTriggers> weak = sharedAs<KJTipTriggers>();
    onMainQueue([weak] {
        if (auto triggers = weak.lock()) triggers->hookEventForSuperTagToView(blqGetPresentWindow());
    });
}

void KJTipTriggers::hookEventForSuperTagToView(const std::shared_ptr<UIView>& view) {
    if (!isSuperTagEnabled(kViewSuperTag)) return;
    std::weak_ptr<KJTipTriggers> weak = sharedAs<KJTipTriggers>();
    onMainQueue([weak, view] {
        auto triggers = weak.lock();
        if (!triggers) return;
        KJTargettingWidgetV2 finder;
        finder.findClickableWidgetsToBindSuperTag(view, triggers, superTagSelector());
    });
}

std::string KJTipTriggers::superTagName(const std::shared_ptr<UIView>& view) {
    auto controller = blqGetViewController(view);
    const std::string screen = controller ? controller->className() : "(null)";
    const std::string digest = NSStringKJExt::md5(brindlecueWidgetAncestor(*view).value_or("(null)") + "+" +
                                                  brindlecueWidgetIndex(*view).value_or("(null)"));
    return "kj_supertag_" + blqUrlEncodeFull(screen) + "_" +
           blqUrlEncodeFull(brindlecueWidgetType(*view).value_or("(null)") + "-" + digest);
}

void KJTipTriggers::superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) {
    if (!isSuperTagEnabled(kClickSuperTag)) return;
    auto view = tappedView(sender);
    if (!view) return;
    const std::string name = superTagName(view);
    if (!isSuperTagFilterPassed(name)) return;
    loadLocalFeedsIfAsked();
    if (collaborators_.tagManager) collaborators_.tagManager->incrementTagWithKey(name, 1);
}

void KJTipTriggers::loadLocalFeedsIfAsked() {
    if (!collaborators_.loadLocalFeeds) return;
    const auto name = collaborators_.loadLocalFeeds();
    if (!name || name->empty()) return;
    const auto path = platform::Bundle::main()->pathForResource(*name, "plist");
    if (!path) return;
    logGuides(1, "debug mode reading local feeds");
    std::ifstream file(*path, std::ios::binary);
    const platform::Data bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto document = Value::fromPropertyList(bytes);
    auto feeds = std::make_shared<std::vector<std::shared_ptr<KJFeedObject>>>();
    if (const platform::Array* results = document ? (*document)["results"].getArray() : nullptr) {
        for (const Value& item : *results)
            if (item.isDictionary())
                if (auto feed = KJFeedObject::createFromDictionary(item)) feeds->push_back(std::move(feed));
    }
    platform::NotificationCenter::defaultCenter().post(kParseFeedNotification, nullptr, Value::dictionary(),
                                                       {{"feeds", feeds}});
    if (collaborators_.clearLoadLocalFeeds) collaborators_.clearLoadLocalFeeds();
}

// ---- Off-screen steps ------------------------------------------------------------------------------

void KJTipTriggers::addOffScreenTip(const std::shared_ptr<KJTipElement>& step) {
    if (!step) return;
    const std::string feedId = text(step->feed_id);
    logGuides(1, "Attempted to display tip title " +
                     (step->title && step->title->text ? *step->title->text : std::string("(null)")) +
                     " and tip id " + (step->feed_id ? *step->feed_id : std::string("(null)")));
    KJTipOffScreenTracker tracker;
    tracker.ctrlName = screenOfTarget(step->target);
    tracker.offScreenTip = step;
    tracker.lastAttemptToShowtime = platform::Date::now();
    auto series = step->series.lock();
    const auto index = series ? indexOfStep(*series, *step) : std::nullopt;
    tracker.tipIndex = index ? static_cast<int64_t>(*index) : -1;
    std::lock_guard lock(mutex_);
    offScreenTipsTracker_[feedId] = std::move(tracker);
}

void KJTipTriggers::removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) {
    if (!step) return;
    std::lock_guard lock(mutex_);
    offScreenTipsTracker_.erase(text(step->feed_id));
}

void KJTipTriggers::removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) {
    auto series = step ? step->series.lock() : nullptr;
    if (series && !series->arrayTips.empty() && series->arrayTips.back() == step) removeOffScreenTip(step);
}

bool KJTipTriggers::hasOffScreenTip(const std::string& feedId) const {
    std::lock_guard lock(mutex_);
    return offScreenTipsTracker_.count(feedId) > 0;
}

void KJTipTriggers::removeAllOffScreenTips() {
    std::lock_guard lock(mutex_);
    offScreenTipsTracker_.clear();
}

std::map<std::string, KJTipOffScreenTracker> KJTipTriggers::offScreenTipsTracker() const {
    std::lock_guard lock(mutex_);
    return offScreenTipsTracker_;
}

std::optional<KJTipOffScreenTracker> KJTipTriggers::offScreenTip(const std::string& feedId) const {
    std::lock_guard lock(mutex_);
    auto found = offScreenTipsTracker_.find(feedId);
    if (found == offScreenTipsTracker_.end()) return std::nullopt;
    return found->second;
}

void KJTipTriggers::displayOffScreenTips(const Value& userInfo,
                                         const platform::Notification::ObjectMap& objects) {
    auto found = objects.find("vc");
    if (found == objects.end() || !found->second) return;
    auto controller = std::static_pointer_cast<platform::UIViewController>(found->second);
    std::weak_ptr<KJTipTriggers> weak = sharedAs<KJTipTriggers>();
    std::weak_ptr<platform::UIViewController> screen = controller;
    shouldCheckIfOffScreenTipExsists(controller, userInfo["shouldShow"].boolValue(),
                                     [weak, screen](const std::shared_ptr<KJTipElement>& step) {
                                         auto triggers = weak.lock();
                                         auto engine = triggers ? triggers->engine() : nullptr;
                                         if (!engine) return;
                                         logGuides(2, "Trying to show tip");
                                         engine->showTip(step, screen.lock(), nullptr, 0, false);
                                     });
}

void KJTipTriggers::shouldCheckIfOffScreenTipExsists(
    const std::shared_ptr<platform::UIViewController>& controller, bool wait,
    std::function<void(const std::shared_ptr<KJTipElement>&)> completion) {
    if (!controller || !completion) return;
    std::vector<std::pair<std::string, KJTipOffScreenTracker>> records;
    {
        std::lock_guard lock(mutex_);
        records.assign(offScreenTipsTracker_.begin(), offScreenTipsTracker_.end());
    }
    // Screens are matched outside the lock: matching may wait for the main queue.
    const std::string screenClass = controller->className();
    std::vector<std::pair<std::string, std::shared_ptr<KJTipElement>>> due;
    for (const auto& [feedId, tracker] : records) {
        auto recorded = tracker.offScreenTip.lock();
        auto series = recorded ? recorded->series.lock() : nullptr;
        if (!series || tracker.isTipShown) continue;
        if (tracker.tipIndex < 0 || static_cast<size_t>(tracker.tipIndex) >= series->arrayTips.size())
            continue;
        if (!targetMatches(recorded->target, controller) && tracker.ctrlName != screenClass) continue;
        if (!wait && -tracker.lastAttemptToShowtime.timeIntervalSinceNow() <= kRetryInterval) continue;
        due.emplace_back(feedId, series->arrayTips[static_cast<size_t>(tracker.tipIndex)]);
    }
    if (due.empty()) return;

    // Queued even on the main thread: a scroll reports its new offset before the scrolled view
    // has laid out the rows it brings in.
    std::weak_ptr<KJTipTriggers> weak = sharedAs<KJTipTriggers>();
    platform::DispatchQueue::main()->async([weak, due = std::move(due), completion = std::move(completion)] {
        auto triggers = weak.lock();
        if (!triggers) return;
        for (const auto& [feedId, step] : due) {
            if (!step || step->tipType != kPopTipType) continue;
            // A step still without its view stays recorded: showing it now would only fail again.
            auto target =
                screenOfTarget(step->target) != kAllScreens ? triggers->rematch(step->target) : nullptr;
            if (!target) continue;
            step->targetControl = target;
            {
                // Handed on once: a retry that fails records the step anew.
                std::lock_guard lock(triggers->mutex_);
                auto record = triggers->offScreenTipsTracker_.find(feedId);
                if (record == triggers->offScreenTipsTracker_.end() || record->second.isTipShown) continue;
                record->second.isTipShown = true;
                record->second.tipShownTime = platform::Date::now();
            }
            completion(step);
        }
    });
}

}  // namespace brindlecue
