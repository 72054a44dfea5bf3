// Choosing the tip for a screen, beside its floor, measured in one run. After the runs the
// program prints the minimum and the median of the repetitions of each with the ratio and the
// budgets: 0.5 ms for a decision, 2 ms of main-queue time for the first decision after a change.
//
//   SelectTip       the tip engine's showTipForViewController for a screen while the campaign
//                   cache holds 1,000 campaigns (every tenth targets the screen, each has a trigger
//                   condition over a stored tag and a repeat condition): the FAQ widgets and the
//                   stored campaigns as the engine keeps them, the merge into the live list, the
//                   last page campaign, its repeat conditions with their saved state, its trigger
//                   condition against the Core Data tag store, its step for the screen and the
//                   presentation scheduled after the default delay.
//   SelectTipFloor  the same decision written out over the same campaigns in memory: the last page
//                   campaign found, its steps matched against the screen, its own repeat records
//                   evaluated, its trigger condition asked of the same tag store, and a block
//                   scheduled after the same delay.
//   FirstDecisionAfterIntake   the first decision for the screen (on the main queue, as the host's
//                   screen asks) after the engine took in, on another thread, a feed of the same
//                   1,000 campaigns each modified later than the stored one (not timed).
//   FirstDecisionAfterRemoval  the same after the engine removed a finished campaign of another
//                   screen (not timed).
//
// The clock is virtual, so nothing scheduled ever runs; its pending blocks are dropped now and
// then outside the timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <any>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchEngineFacade.h"
#include "BenchReport.h"

#include "facade/BLQFacadeLink.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "matching/BLQClientSideTriggerManager.h"
#include "matching/CampaignMatching.h"
#include "platform/AppContainer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIViewController.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/DictionaryTransformer.h"
#include "storage/KJDBManager.h"
#include "targeting/KJTipTargetElement.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/KJTipManager.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kCampaigns = 1000;
constexpr const char* kAppKey = "bench-key";
constexpr const char* kScreen = "HomeViewController";
constexpr int kIterationsPerClockReset = 1000;

class Screen final : public UIViewController {
public:
    std::string className() const override { return kScreen; }
};

std::string campaignItem(int i, const std::string& modified = "2025-06-01T12:00:00.000Z") {
    std::string id = std::to_string(1000 + i);
    std::string screen = i % 10 == 9 ? kScreen : "OtherViewController" + std::to_string(i % 10);
    std::string steps;
    for (int s = 0; s < 3; ++s) {
        if (s > 0) steps += ",";
        steps += R"({"meta": {"id": ")" + id + "-" + std::to_string(s) + R"(", "tool": "modal", "view": ")" +
                 screen +
                 R"("}, "title": {"text": "Welcome"}, "content": {"text": "Tap here to see what changed."},
                    "buttons": {"next": {"text": "Next"}, "prev": {"text": "Back"}}})";
    }
    return R"({"id": ")" + id + R"(", "app_key": ")" + kAppKey + R"(", "campaignid": "campaign-)" + id +
           R"(", "type": "CAMPAIGN", "priority": )" + std::to_string(i) +
           R"(, "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
              "modified": ")" +
           modified + R"(",
              "repeat_conditions": [{"type": "seen_count", "op": "less_than", "value": 3}],
              "trigger_conditions": [{"type": "string", "op": "eq", "tag": "plan", "value": "gold"}],
              "content": {"setup": {"tool": "tour", "view": ")" +
           screen + R"(", "display": ["dom"], "launcher": {"type": "page-open"}}, "payload": [)" + steps +
           "]}}";
}

struct Scene {
    std::shared_ptr<KJTipManager> engine;
    std::shared_ptr<benchsupport::EngineFacade> facade = std::make_shared<benchsupport::EngineFacade>(kAppKey);
    std::shared_ptr<Screen> screen = make<Screen>();
    BLQITipManager::SeriesList campaigns;
};

fs::path benchRoot() {
    return fs::temp_directory_path() / "brindlecue-tips-bench";
}

Scene& scene() {
    static Scene* s = [] {
        auto* out = new Scene;
        fs::path root = benchRoot();
        fs::remove_all(root);
        fs::create_directories(root);
        AppContainer::setRoot(root);
        Clock::useVirtual();
        ClassRegistry::registerClass(kScreen, "UIViewController");
        KJTipTargetElement::registerWithCampaignModel();
        DictionaryTransformer::registerDictionaryTransformer();

        auto cache = KJDBManager::sharedInstance();
        cache->updateCollaborators([](KJDBManager::Collaborators& c) {
            c.appKey = [] { return std::optional<std::string>(kAppKey); };
        });
        KJTipSeriesElement::registerWithCampaignCache(*cache);
        CampaignMatching::registerWithCampaignCache(*cache);
        std::vector<std::shared_ptr<KJDBFeedRecord>> records;
        for (int i = 0; i < kCampaigns; ++i)
            records.push_back(KJFeedObject::createFromDictionary(*Value::fromJSON(campaignItem(i))));
        cache->saveMultipleTipSeries(records);

        auto context = BLQCoreData::sharedInstance().backgroundContext();
        auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
        tags->saveTag("plan", std::any(std::string("gold")), nullptr);
        for (int i = 0; i < 3; ++i) context->performAndWait([] {});
        out->facade->triggers = std::make_shared<BLQClientSideTriggerManager>(tags);

        out->engine = KJTipManager::make(nullptr);
        out->engine->setDelegate(out->facade);
        out->engine->setCustomerCurrentVC(out->screen);
        BLQFacadeLink::setTipManager(out->engine);
        out->campaigns = out->engine->innerTipSeries();
        return out;
    }();
    return *s;
}

void dropScheduledBlocks(benchmark::State& state, int& count) {
    if (++count < kIterationsPerClockReset) return;
    count = 0;
    state.PauseTiming();
    Clock::useVirtual();
    RunLoop::main().runUntilIdle();
    state.ResumeTiming();
}

void BM_SelectTip(benchmark::State& state) {
    Scene& s = scene();
    const Notification::ObjectMap objects{{"vc", s.screen}};
    const Value info = Value::dictionary();
    Clock::useVirtual();
    s.engine->showTipForViewController(info, objects);  // the first question reads the cache
    if (Clock::pendingCount() != 1) {
        state.SkipWithError("the screen's campaign was not chosen");
        return;
    }
    int count = 0;
    for (auto _ : state) {
        s.engine->showTipForViewController(info, objects);
        dropScheduledBlocks(state, count);
    }
    state.counters["stored"] = double(s.campaigns.size());
}

void BM_SelectTipFloor(benchmark::State& state) {
    Scene& s = scene();
    int count = 0;
    for (auto _ : state) {
        auto last = std::find_if(s.campaigns.rbegin(), s.campaigns.rend(),
                                 [](const auto& c) { return c && (c->tipDisplayType & 1); });
        std::shared_ptr<KJTipElement> step;
        if (last != s.campaigns.rend()) {
            for (const auto& candidate : (*last)->arrayTips) {
                auto* target = dynamic_cast<KJTipTargetElement*>(candidate->target.get());
                if (target && target->matchVC(s.screen)) {
                    step = candidate;
                    break;
                }
            }
        }
        if (step && CampaignMatching::sharedInstance().evaluate((*last)->repeat_conditions) &&
            s.facade->triggers->checkForMatchesWithTriggerConditions((*last)->trigger_conditions)) {
            DispatchQueue::main()->asyncAfter(1.0, [step] { benchmark::DoNotOptimize(step); });
        }
        dropScheduledBlocks(state, count);
    }
}

// The campaigns of the scene again, each modified later than any intake before.
std::vector<std::shared_ptr<KJFeedObject>> laterFeed() {
    static int round = 0;
    ++round;
    char modified[40];
    std::snprintf(modified, sizeof modified, "2025-07-%02dT%02d:%02d:%02d.000Z", 1 + round / 86400 % 28,
                  round / 3600 % 24, round / 60 % 60, round % 60);
    std::vector<std::shared_ptr<KJFeedObject>> feeds;
    for (int i = 0; i < kCampaigns; ++i)
        feeds.push_back(KJFeedObject::createFromDictionary(*Value::fromJSON(campaignItem(i, modified))));
    return feeds;
}

// Times the first decision for the screen after the change, on the main queue; what the change and
// the decision leave on the main queue runs afterwards, outside the timing.
void firstDecision(benchmark::State& state, const std::function<void(Scene&)>& change) {
    Scene& s = scene();
    const Notification::ObjectMap objects{{"vc", s.screen}};
    const Value info = Value::dictionary();
    for (auto _ : state) {
        state.PauseTiming();
        Clock::useVirtual();
        RunLoop::main().runUntilIdle();
        change(s);
        state.ResumeTiming();

        s.engine->showTipForViewController(info, objects);

        state.PauseTiming();
        if (Clock::pendingCount() == 0) state.SkipWithError("the screen's campaign was not chosen");
        Clock::useVirtual();
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
}

void BM_FirstDecisionAfterIntake(benchmark::State& state) {
    firstDecision(state, [](Scene& s) {
        auto feeds = laterFeed();
        // Intake runs on the feed manager's queue, not the main one.
        std::thread intake([&] { s.engine->fillTipFromFeed(feeds); });
        intake.join();
    });
}

void BM_FirstDecisionAfterRemoval(benchmark::State& state) {
    firstDecision(state, [](Scene& s) {
        // A finished campaign of another screen goes; the next intake brings it back.
        auto live = s.engine->innerTipSeries();
        auto other = std::find_if(live.begin(), live.end(), [](const auto& c) {
            return c && c->feed_id && !c->feed_id->empty() && std::stoi(*c->feed_id) % 10 != 9;
        });
        if (other != live.end()) s.engine->removeTipSeries(*other);
    });
}

BENCHMARK(BM_SelectTip)->Unit(benchmark::kMicrosecond)->Repetitions(9);
BENCHMARK(BM_SelectTipFloor)->Unit(benchmark::kMicrosecond)->Repetitions(9);
BENCHMARK(BM_FirstDecisionAfterIntake)->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(3);
BENCHMARK(BM_FirstDecisionAfterRemoval)->Unit(benchmark::kMicrosecond)->Iterations(100)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    benchreport::print(reporter, {
                                     {"SelectTip", "BM_SelectTip", "", 0.5},
                                     {"SelectTip vs floor", "BM_SelectTip", "BM_SelectTipFloor", 0},
                                     {"FirstDecisionAfterIntake", "BM_FirstDecisionAfterIntake", "", 2.0},
                                     {"FirstDecisionAfterRemoval", "BM_FirstDecisionAfterRemoval", "", 2.0},
                                 });
    BLQFacadeLink::setTipManager(nullptr);
    std::error_code ec;
    fs::remove_all(benchRoot(), ec);
    return 0;
}
