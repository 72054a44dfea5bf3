// Taking in a campaign feed through the tip engine, beside its floor, measured in one run on the
// same disk.
//
//   FeedIntake/N       a feed answer of N campaigns (1,000 and 10,000) as the requester hands it
//                      on: the JSON text parsed, checked by the feed manager, each item made a feed
//                      record by the facade's conversion, the cache pruned to the feed, and the
//                      records handed to the real tip engine, which stores them in the campaign
//                      cache (set-up, archiving, one transaction), makes them its live campaigns and
//                      writes its stored lists to the user defaults, synchronised; into an empty
//                      cache, until the parsed answer and the records are released again (on the
//                      URL session's delegate queue in an app, before its next task). The release
//                      alone is shown as "released_ms".
//   FeedIntakeFloor/N  the same text walked by nlohmann/json's parser without building a tree, and
//                      the same rows written as raw prepared inserts in one transaction (the cache's
//                      journal and durability).
//   FeedRefetch/N      the same answer fetched again into an engine that holds its N campaigns live
//                      (a feed timestamp that moved while the campaigns did not), until released.
//   FeedRefetchFloor/N the same text walked without a tree, and the stored rows' feed ids and
//                      modified times read back on an open connection in one transaction.
//
// Beside the wall time each side reports "cpu_ms": the processor time of all the process's threads
// over the same span (CLOCK_PROCESS_CPUTIME_ID), which is what the work costs a device however
// many cores it spreads over.
//
// The stages are measured alone too (FeedParse, FeedRecords, FeedStore, and within the store
// FeedArchive, the keyed archiving of the rows' contents; FeedDecode, the campaigns decoded from
// the stored dictionaries; FeedStoredList, the engine's stored list written). After the runs the
// program prints each intake beside its floor (at most 3x, in wall and in processor time) and each
// figure of 10,000 beside that of 1,000 (at most 12x), with the minimum and the median over the
// repetitions
// (--benchmark_repetitions=3). Each repetition of an intake takes in feeds for at least two
// seconds of measured time: a single intake of 10,000 would otherwise make a repetition alone,
// with the heap's first growth in it.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <sched.h>

#include "BenchEngineFacade.h"
#include "BenchReport.h"
#include "feed/BLQFeedManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipSeriesElement.h"
#include "matching/CampaignMatching.h"
#include "platform/AppContainer.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URL.h"
#include "storage/BLQCoreData.h"
#include "storage/DictionaryTransformer.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"
#include "targeting/KJTipTargetElement.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/KJTipManager.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kCampaigns = 1000;
constexpr int kLargeFeed = 10000;
constexpr const char* kAppKey = "bench-key";
constexpr const char* kCampaignTable =
    "CREATE TABLE IF NOT EXISTS 'QXFeeds' ('feedId' TEXT PRIMARY KEY, 'content' BLOB, 'appKey' TEXT, "
    "'installId' TEXT, 'campaignId' TEXT, 'numFeeds' INTEGER, 'created' DOUBLE, 'modified' DOUBLE, "
    "'activates' DOUBLE, 'expires' DOUBLE, 'type' TEXT,'deletionconditions' TEXT,'repeatconditions' "
    "TEXT,'triggerconditions' TEXT,'priority' INTEGER)";
constexpr const char* kInsertCampaign =
    "INSERT OR REPLACE INTO "
    "QXFeeds('feedId','content','appKey','installId','campaignId','numFeeds','created',"
    "'modified','activates','expires','type','deletionconditions','repeatconditions','priority',"
    "'triggerconditions')VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

fs::path benchRoot;
int containerCount = 0;

// Processor time of every thread of the process so far, in seconds.
double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A new, empty app container with a campaign cache that knows the campaign model and matching,
// and user defaults of its own.
fs::path freshContainer() {
    fs::path dir = benchRoot / "c";
    dir += std::to_string(++containerCount);
    fs::create_directories(dir);
    BLQCoreData::resetForTesting();
    KJDBManager::resetForTesting();
    UserDefaults::resetStandardForTesting();
    RunLoop::main().runUntilIdle();
    AppContainer::setRoot(dir);
    auto cache = KJDBManager::sharedInstance();
    cache->setCollaborators({.appKey = [] { return std::optional<std::string>(kAppKey); }});
    KJTipSeriesElement::registerWithCampaignCache(*cache);
    CampaignMatching::registerWithCampaignCache(*cache);
    return dir;
}

void removeContainer(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// A feed answer as the server sends it: three steps per campaign, dates, a repeat condition.
std::string makeFeedText(int campaigns) {
    {
        std::string out = R"({"count": )" + std::to_string(campaigns) + R"(, "results": [)";
        for (int i = 0; i < campaigns; ++i) {
            if (i > 0) out += ",";
            std::string id = std::to_string(1000 + i);
            out += R"({"id": )" + id + R"(, "app_key": ")" + kAppKey + R"(", "campaignid": "campaign-)" + id +
                   R"(", "campaign": "Spring )" + id + R"(", "type": "CAMPAIGN", "priority": )" +
                   std::to_string(i % 10) +
                   R"(, "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
  "created": "2025-01-01T00:00:00.000Z", "modified": "2025-06-01T12:00:00.000Z",
  "repeat_conditions": [{"type": "seen_count", "op": "lt", "value": 3}],
  "content": {"setup": {"tool": "tour", "view": "HomeViewController", "display": ["dom"],
                        "launcher": {"type": "page-open"}, "theme": "light"},
              "payload": [)";
            for (int s = 0; s < 3; ++s) {
                if (s > 0) out += ",";
                out += R"({"meta": {"id": ")" + id + "-" + std::to_string(s) +
                       R"(", "tool": "tour", "view": "HomeViewController", "placement": "bottom",
                           "background-color": "#FFFFFF", "padding-top": 8, "padding-bottom": 8},
                 "title": {"text": "Welcome to the new screen", "color": "#222222", "font-size": 18},
                 "content": {"text": "Tap here to see what changed since your last visit.", "font-size": 14},
                 "buttons": {"next": {"text": "Next", "background-color": "#0066CC", "color": "#FFFFFF"},
                             "prev": {"text": "Back"}}})";
            }
            out += "]}}";
        }
        return out + "]}";
    }
}

const std::string& feedText(int campaigns = kCampaigns) {
    static const std::string small = makeFeedText(kCampaigns);
    static std::string large;
    if (campaigns == kCampaigns) return small;
    if (large.empty()) large = makeFeedText(kLargeFeed);
    return large;
}

// Hands the feed text on as the HTTP requester does: parsed, on the calling thread.
class TextRequester final : public BLQIFeedNetworkRequester {
public:
    explicit TextRequester(const std::string& text) : text_(text) {}
    void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock) override {
        auto json = Value::fromJSON(text_);
        success(json.value_or(Value::dictionary()), *URL::fromString("https://bench.test/v3/feeds"));
    }

private:
    const std::string& text_;
};

// The facade's part: results into records, back to the manager as a complete feed; pruning.
class Facade final : public BLQIFeedReceivedDelegate {
public:
    std::weak_ptr<BLQIFeedManager> feeds;
    // When the engine had taken the feed in, before the records and the answer were released.
    std::chrono::steady_clock::time_point live;
    void onFeedReceivedSuccessWithResponse(const Value& response, const URL&) override {
        std::vector<std::shared_ptr<KJFeedObject>> records;
        if (const Array* results = response["results"].getArray()) {
            records.reserve(results->size());
            for (const Value& item : *results)
                if (auto record = KJFeedObject::createFromDictionary(item))
                    records.push_back(std::move(record));
        }
        feeds.lock()->processFeeds(records, BLQFeedOrigin::completeFeed);
        live = std::chrono::steady_clock::now();
    }
    void onFeedReceivedFailureWithError(const Error&) override {}
    void deleteInfiniteGuides() override { KJDao::deleteSeriesInfiniteCampaign(); }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override {
        KJDao::deleteDisabledCampaign(ids);
    }
};

std::vector<std::shared_ptr<KJFeedObject>> records() {
    std::vector<std::shared_ptr<KJFeedObject>> out;
    const Value answer = *Value::fromJSON(feedText());
    for (const Value& item : *answer["results"].getArray())
        out.push_back(KJFeedObject::createFromDictionary(item));
    return out;
}

// A container with an engine and the feed manager that hands it feeds, as the facade wires them.
struct IntakeScene {
    fs::path dir;
    std::shared_ptr<KJTipManager> engine;
    std::shared_ptr<BLQFeedManager> manager;

    IntakeScene(const std::string& text, const std::shared_ptr<benchsupport::EngineFacade>& engineFacade,
                const std::shared_ptr<Facade>& facade)
        : dir(freshContainer()), engine(KJTipManager::make(nullptr)) {
        engine->setDelegate(engineFacade);
        manager = std::make_shared<BLQFeedManager>(
            nullptr, nullptr, engine, std::make_shared<TextRequester>(text),
            BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
        manager->setDelegate(facade);
        facade->feeds = manager;
        RunLoop::main().runUntilIdle();
    }
    ~IntakeScene() {
        RunLoop::main().runUntilIdle();
        manager.reset();
        engine.reset();
        KJDBManager::resetForTesting();
        UserDefaults::resetStandardForTesting();
        removeContainer(dir);
    }

    // One fetch of the feed, timed until the answer and the records are released: the wall time,
    // the processor time and the part of the wall time the release took, in seconds. False when
    // the feed never reached the engine.
    struct Times {
        double wall = 0, cpu = 0, released = 0;
    };
    bool fetch(Facade& facade, Times& times) {
        facade.live = {};
        const double cpu = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        manager->fetchFeeds(std::nullopt);
        const auto end = std::chrono::steady_clock::now();
        times.cpu += processCpuSeconds() - cpu;
        if (facade.live < start) return false;
        times.wall += std::chrono::duration<double>(end - start).count();
        times.released += std::chrono::duration<double>(end - facade.live).count();
        return true;
    }
    bool holds(int campaigns) const {
        return engine->innerTipSeries().size() == static_cast<size_t>(campaigns) &&
               KJDao::getAllSeries().size() == static_cast<size_t>(campaigns);
    }
};

void reportTimes(benchmark::State& state, const IntakeScene::Times& times, int campaigns) {
    const double n = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * campaigns);
    state.counters["cpu_ms"] = times.cpu * 1e3 / n;
    state.counters["released_ms"] = times.released * 1e3 / n;
}

void BM_FeedIntake(benchmark::State& state) {
    const int campaigns = static_cast<int>(state.range(0));
    const std::string& text = feedText(campaigns);
    auto engineFacade = std::make_shared<benchsupport::EngineFacade>(kAppKey);
    auto facade = std::make_shared<Facade>();
    IntakeScene::Times total;
    for (auto _ : state) {
        IntakeScene scene(text, engineFacade, facade);
        IntakeScene::Times times;
        if (!scene.fetch(*facade, times)) {
            state.SkipWithError("the feed never reached the engine");
            break;
        }
        state.SetIterationTime(times.wall);
        total.wall += times.wall;
        total.cpu += times.cpu;
        total.released += times.released;
        if (!scene.holds(campaigns)) state.SkipWithError("intake failed");
    }
    reportTimes(state, total, campaigns);
}

// The same answer again into an engine that took it in before and holds its campaigns live.
void BM_FeedRefetch(benchmark::State& state) {
    const int campaigns = static_cast<int>(state.range(0));
    const std::string& text = feedText(campaigns);
    auto engineFacade = std::make_shared<benchsupport::EngineFacade>(kAppKey);
    auto facade = std::make_shared<Facade>();
    IntakeScene scene(text, engineFacade, facade);
    IntakeScene::Times first;
    if (!scene.fetch(*facade, first) || !scene.holds(campaigns)) {
        state.SkipWithError("the first intake failed");
        return;
    }
    RunLoop::main().runUntilIdle();
    const auto live = scene.engine->innerTipSeries();
    IntakeScene::Times total;
    for (auto _ : state) {
        IntakeScene::Times times;
        if (!scene.fetch(*facade, times)) {
            state.SkipWithError("the feed never reached the engine");
            break;
        }
        state.SetIterationTime(times.wall);
        total.wall += times.wall;
        total.cpu += times.cpu;
        total.released += times.released;
        RunLoop::main().runUntilIdle();
    }
    // The campaigns were current: the engine keeps the very same ones.
    if (scene.engine->innerTipSeries() != live || !scene.holds(campaigns))
        state.SkipWithError("the re-fetch changed the live campaigns");
    reportTimes(state, total, campaigns);
}

void BM_FeedParse(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Value::fromJSON(feedText()));
}

void BM_FeedRecords(benchmark::State& state) {
    Value answer = *Value::fromJSON(feedText());
    for (auto _ : state) {
        for (const Value& item : *answer["results"].getArray())
            benchmark::DoNotOptimize(KJFeedObject::createFromDictionary(item));
    }
}

void BM_FeedStore(benchmark::State& state) {
    auto feeds = records();
    std::vector<std::shared_ptr<KJDBFeedRecord>> rows(feeds.begin(), feeds.end());
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        state.ResumeTiming();
        if (!KJDBManager::sharedInstance()->saveMultipleTipSeries(rows)) state.SkipWithError("store failed");
        state.PauseTiming();
        KJDBManager::resetForTesting();
        removeContainer(dir);
        state.ResumeTiming();
    }
}

// The stored dictionaries the cache sets up for the feed's 1,000 items, in a container of their own.
struct StoredDictionaries {
    fs::path dir = freshContainer();
    std::shared_ptr<KJDBManager> cache = KJDBManager::sharedInstance();
    std::vector<Value> stored;

    StoredDictionaries() {
        for (const auto& feed : records()) stored.push_back(cache->setupFeedsDictionaryFromFeedObject(*feed));
    }
    ~StoredDictionaries() {
        KJDBManager::resetForTesting();
        removeContainer(dir);
    }
};

// The archiving of the 1,000 stored dictionaries alone (the content column of each row).
void BM_FeedArchive(benchmark::State& state) {
    const StoredDictionaries feed;
    for (auto _ : state) {
        for (const Value& dictionary : feed.stored)
            benchmark::DoNotOptimize(KeyedArchiver::archivedData(dictionary));
    }
}

// The decoding of the 1,000 stored dictionaries into campaigns, as the intake does it after the
// write, until the campaigns are released.
void BM_FeedDecode(benchmark::State& state) {
    const StoredDictionaries feed;
    for (auto _ : state) {
        for (const Value& dictionary : feed.stored)
            if (!feed.cache->parseCampaignDictionary(dictionary)) state.SkipWithError("a campaign did not decode");
    }
}

// The engine's stored list alone: the live campaigns of a 1,000-campaign intake written as the one
// property list it keeps under "KJTips_Server".
void BM_FeedStoredList(benchmark::State& state) {
    auto engineFacade = std::make_shared<benchsupport::EngineFacade>(kAppKey);
    auto facade = std::make_shared<Facade>();
    IntakeScene scene(feedText(), engineFacade, facade);
    IntakeScene::Times times;
    if (!scene.fetch(*facade, times) || !scene.holds(kCampaigns)) {
        state.SkipWithError("intake failed");
        return;
    }
    RunLoop::main().runUntilIdle();
    const auto live = scene.engine->innerTipSeries();
    std::vector<const KJTipBaseElement*> campaigns;
    for (const auto& series : live) campaigns.push_back(series.get());
    for (auto _ : state) {
        auto written = KJStoredForm::writeListOnItsOwn(campaigns);
        if (!written) state.SkipWithError("the list was refused");
        benchmark::DoNotOptimize(written);
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

// The rows the cache writes for the feed, for the floor to insert.
std::vector<Value> cacheRows(int campaigns) {
    fs::path dir = freshContainer();
    auto cache = KJDBManager::sharedInstance();
    std::vector<Value> rows;
    const Value answer = *Value::fromJSON(feedText(campaigns));
    for (const Value& item : *answer["results"].getArray()) {
        auto feed = KJFeedObject::createFromDictionary(item);
        rows.push_back(cache->archiveDataToBeSaved(cache->setupFeedsDictionaryFromFeedObject(*feed)));
    }
    KJDBManager::resetForTesting();
    removeContainer(dir);
    return rows;
}

void exec(sqlite3* db, const char* sql, benchmark::State& state) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        state.SkipWithError(sqlite3_errmsg(db));
}

void bindText(sqlite3_stmt* stmt, int index, const Value& v) {
    if (const std::string* s = v.getString())
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(stmt, index);
}

// Binds a row of the cache to the floor's insert.
void insertRow(sqlite3_stmt* insert, const Value& row) {
    bindText(insert, 1, row["feedId"]);
    const Data& content = *row["content"].getData();
    sqlite3_bind_blob(insert, 2, content.data(), static_cast<int>(content.size()), SQLITE_STATIC);
    bindText(insert, 3, row["appKey"]);
    bindText(insert, 4, row["installId"]);
    bindText(insert, 5, row["campaignId"]);
    sqlite3_bind_int(insert, 6, static_cast<int>(row["numFeeds"].integerValue()));
    sqlite3_bind_double(insert, 7, row["created"].doubleValue());
    sqlite3_bind_double(insert, 8, row["modified"].doubleValue());
    sqlite3_bind_double(insert, 9, row["activates"].doubleValue());
    sqlite3_bind_double(insert, 10, row["expires"].doubleValue());
    bindText(insert, 11, row["type"]);
    bindText(insert, 12, row["deletionconditions"]);
    bindText(insert, 13, row["repeatconditions"]);
    sqlite3_bind_int(insert, 14, static_cast<int>(row["priority"].integerValue()));
    bindText(insert, 15, row["triggerconditions"]);
}

void BM_FeedIntakeFloor(benchmark::State& state) {
    const int campaigns = static_cast<int>(state.range(0));
    const std::string& text = feedText(campaigns);
    const std::vector<Value> rows = cacheRows(campaigns);
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = benchRoot / ("raw" + std::to_string(++containerCount));
        fs::create_directories(dir);
        sqlite3* db = nullptr;
        sqlite3_open((dir / "raw-cache.db").c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        exec(db, kCampaignTable, state);
        state.ResumeTiming();
        const double cpuStart = processCpuSeconds();

        // The parser walks the whole text, building nothing.
        if (!nlohmann::json::accept(text)) state.SkipWithError("not JSON");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertCampaign, -1, &insert, nullptr);
        exec(db, "BEGIN IMMEDIATE", state);
        for (const Value& row : rows) {
            insertRow(insert, row);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        exec(db, "COMMIT", state);
        sqlite3_finalize(insert);
        cpu += processCpuSeconds() - cpuStart;

        state.PauseTiming();
        sqlite3_close(db);
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * campaigns);
    state.counters["cpu_ms"] = cpu * 1e3 / static_cast<double>(state.iterations());
}

void BM_FeedRefetchFloor(benchmark::State& state) {
    const int campaigns = static_cast<int>(state.range(0));
    const std::string& text = feedText(campaigns);
    const fs::path dir = benchRoot / ("raw" + std::to_string(++containerCount));
    fs::create_directories(dir);
    sqlite3* db = nullptr;
    sqlite3_open((dir / "raw-cache.db").c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    exec(db, kCampaignTable, state);
    {
        const std::vector<Value> rows = cacheRows(campaigns);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertCampaign, -1, &insert, nullptr);
        exec(db, "BEGIN IMMEDIATE", state);
        for (const Value& row : rows) {
            insertRow(insert, row);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        exec(db, "COMMIT", state);
        sqlite3_finalize(insert);
    }
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT feedId, modified FROM QXFeeds", -1, &select, nullptr);
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        if (!nlohmann::json::accept(text)) state.SkipWithError("not JSON");
        exec(db, "BEGIN", state);
        std::vector<std::pair<std::string, double>> versions;
        versions.reserve(static_cast<size_t>(campaigns));
        while (sqlite3_step(select) == SQLITE_ROW)
            versions.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(select, 0)),
                                  sqlite3_column_double(select, 1));
        sqlite3_reset(select);
        exec(db, "COMMIT", state);
        if (versions.size() != static_cast<size_t>(campaigns)) state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(versions);
        cpu += processCpuSeconds() - cpuStart;
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    removeContainer(dir);
    state.SetItemsProcessed(state.iterations() * campaigns);
    state.counters["cpu_ms"] = cpu * 1e3 / static_cast<double>(state.iterations());
}

BENCHMARK(BM_FeedIntake)->Arg(kCampaigns)->Arg(kLargeFeed)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FeedIntakeFloor)->Arg(kCampaigns)->Arg(kLargeFeed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedRefetch)->Arg(kCampaigns)->Arg(kLargeFeed)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_FeedRefetchFloor)->Arg(kCampaigns)->Arg(kLargeFeed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedParse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedRecords)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedStore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedArchive)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedStoredList)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string pattern = (fs::temp_directory_path() / "brindlecue-feed-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    benchRoot = pattern;
    DictionaryTransformer::registerDictionaryTransformer();

    KJTipTargetElement::registerWithCampaignModel();

    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    cpu_set_t usable;
    CPU_ZERO(&usable);
    if (sched_getaffinity(0, sizeof usable, &usable) == 0)
        std::printf("\nprocessors usable: %d\n", CPU_COUNT(&usable));
    const std::string small = "/" + std::to_string(kCampaigns), large = "/" + std::to_string(kLargeFeed);
    const std::string cpu = ":cpu_ms";
    benchreport::print(
        reporter,
        {
            {"FeedIntake 1,000", "BM_FeedIntake" + small, "BM_FeedIntakeFloor" + small, 3.0},
            {"FeedIntake 1,000 cpu", "BM_FeedIntake" + small + cpu, "BM_FeedIntakeFloor" + small + cpu, 3.0},
            {"FeedIntake 10k vs 1k", "BM_FeedIntake" + large, "BM_FeedIntake" + small, 12.0},
            {"FeedIntake 10k vs 1k cpu", "BM_FeedIntake" + large + cpu, "BM_FeedIntake" + small + cpu, 12.0},
            {"FeedIntake 10,000", "BM_FeedIntake" + large, "BM_FeedIntakeFloor" + large, 0},
            {"FeedIntake 10,000 cpu", "BM_FeedIntake" + large + cpu, "BM_FeedIntakeFloor" + large + cpu, 0},
            {"FeedRefetch 1,000", "BM_FeedRefetch" + small, "BM_FeedRefetchFloor" + small, 3.0},
            {"FeedRefetch 1,000 cpu", "BM_FeedRefetch" + small + cpu, "BM_FeedRefetchFloor" + small + cpu, 3.0},
            {"FeedRefetch 10k vs 1k", "BM_FeedRefetch" + large, "BM_FeedRefetch" + small, 12.0},
            {"FeedRefetch 10k vs 1k cpu", "BM_FeedRefetch" + large + cpu, "BM_FeedRefetch" + small + cpu, 12.0},
            {"FeedRefetch 10,000", "BM_FeedRefetch" + large, "BM_FeedRefetchFloor" + large, 0},
            {"FeedRefetch 10,000 cpu", "BM_FeedRefetch" + large + cpu, "BM_FeedRefetchFloor" + large + cpu, 0},
        });

    KJDBManager::resetForTesting();
    std::error_code ec;
    fs::remove_all(benchRoot, ec);
    return 0;
}
