// Taking in a campaign feed, beside its floor, measured in one run on the same disk.
//
//   FeedIntake       a feed answer of 1,000 campaigns as the requester hands it on: the JSON text
//                    parsed, checked by the feed manager, each item made a feed record by the
//                    facade's conversion, the cache pruned to the feed, and the records stored in
//                    the campaign cache (set-up, archiving, one transaction), into an empty cache.
//   FeedIntakeFloor  the same text parsed with nlohmann/json and the same rows written as raw
//                    prepared inserts in one transaction (the cache's journal and durability).
//
// The stages of the intake are measured alone too (FeedParse, FeedRecords, FeedStore, and within
// the store FeedArchive, the keyed archiving of the rows' contents). After the runs the program
// prints the intake beside its floor with the ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "feed/BLQFeedManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipSeriesElement.h"
#include "platform/AppContainer.h"
#include "platform/KeyedArchiver.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URL.h"
#include "storage/BLQCoreData.h"
#include "storage/DictionaryTransformer.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"
#include "../tests/support/StubTipManager.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kCampaigns = 1000;
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

// A new, empty app container with a campaign cache that knows the campaign model.
fs::path freshContainer() {
    fs::path dir = benchRoot / ("c" + std::to_string(++containerCount));
    fs::create_directories(dir);
    BLQCoreData::resetForTesting();
    KJDBManager::resetForTesting();
    RunLoop::main().runUntilIdle();
    AppContainer::setRoot(dir);
    auto cache = KJDBManager::sharedInstance();
    cache->setCollaborators({.appKey = [] { return std::optional<std::string>(kAppKey); }});
    KJTipSeriesElement::registerWithCampaignCache(*cache);
    return dir;
}

void removeContainer(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// A feed answer as the server sends it: three steps per campaign, dates, a repeat condition.
const std::string& feedText() {
    static const std::string text = [] {
        std::string out = R"({"count": 1000, "results": [)";
        for (int i = 0; i < kCampaigns; ++i) {
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
    }();
    return text;
}

// Hands the feed text on as the HTTP requester does: parsed, on the calling thread.
class TextRequester final : public BLQIFeedNetworkRequester {
public:
    void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock) override {
        auto json = Value::fromJSON(feedText());
        success(json.value_or(Value::dictionary()), *URL::fromString("https://bench.test/v3/feeds"));
    }
};

// The facade's part: results into records, back to the manager as a complete feed; pruning.
class Facade final : public BLQIFeedReceivedDelegate {
public:
    std::weak_ptr<BLQIFeedManager> feeds;
    void onFeedReceivedSuccessWithResponse(const Value& response, const URL&) override {
        std::vector<std::shared_ptr<KJFeedObject>> records;
        if (const Array* results = response["results"].getArray()) {
            records.reserve(results->size());
            for (const Value& item : *results)
                if (auto record = KJFeedObject::createFromDictionary(item))
                    records.push_back(std::move(record));
        }
        feeds.lock()->processFeeds(records, BLQFeedOrigin::completeFeed);
    }
    void onFeedReceivedFailureWithError(const Error&) override {}
    void deleteInfiniteGuides() override { KJDao::deleteSeriesInfiniteCampaign(); }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override {
        KJDao::deleteDisabledCampaign(ids);
    }
};

// The tip engine's part: the records into the campaign cache.
class CacheTipManager final : public testsupport::StubTipManager {
public:
    bool stored = false;
    void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) override {
        stored = KJDBManager::sharedInstance()->saveMultipleTipSeries(
            std::vector<std::shared_ptr<KJDBFeedRecord>>(feeds.begin(), feeds.end()));
    }
};

std::vector<std::shared_ptr<KJFeedObject>> records() {
    std::vector<std::shared_ptr<KJFeedObject>> out;
    const Value answer = *Value::fromJSON(feedText());
    for (const Value& item : *answer["results"].getArray())
        out.push_back(KJFeedObject::createFromDictionary(item));
    return out;
}

void BM_FeedIntake(benchmark::State& state) {
    auto tips = std::make_shared<CacheTipManager>();
    auto facade = std::make_shared<Facade>();
    auto manager = std::make_shared<BLQFeedManager>(
        nullptr, nullptr, tips, std::make_shared<TextRequester>(),
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    manager->setDelegate(facade);
    facade->feeds = manager;
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        tips->stored = false;
        state.ResumeTiming();

        manager->fetchFeeds(std::nullopt);

        state.PauseTiming();
        if (!tips->stored || KJDao::getAllSeries().size() != static_cast<size_t>(kCampaigns))
            state.SkipWithError("intake failed");
        KJDBManager::resetForTesting();
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
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

// The archiving of the 1,000 stored dictionaries alone (the content column of each row).
void BM_FeedArchive(benchmark::State& state) {
    fs::path dir = freshContainer();
    auto cache = KJDBManager::sharedInstance();
    std::vector<Value> stored;
    for (const auto& feed : records()) stored.push_back(cache->setupFeedsDictionaryFromFeedObject(*feed));
    for (auto _ : state) {
        for (const Value& dictionary : stored)
            benchmark::DoNotOptimize(KeyedArchiver::archivedData(dictionary));
    }
    KJDBManager::resetForTesting();
    removeContainer(dir);
}

// The rows the cache writes for the feed, for the floor to insert.
std::vector<Value> cacheRows() {
    fs::path dir = freshContainer();
    auto cache = KJDBManager::sharedInstance();
    std::vector<Value> rows;
    for (const auto& feed : records())
        rows.push_back(cache->archiveDataToBeSaved(cache->setupFeedsDictionaryFromFeedObject(*feed)));
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

void BM_FeedIntakeFloor(benchmark::State& state) {
    const std::vector<Value> rows = cacheRows();
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = benchRoot / ("raw" + std::to_string(++containerCount));
        fs::create_directories(dir);
        sqlite3* db = nullptr;
        sqlite3_open((dir / "raw-cache.db").c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        exec(db, kCampaignTable, state);
        state.ResumeTiming();

        auto json = nlohmann::json::parse(feedText());
        benchmark::DoNotOptimize(json);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertCampaign, -1, &insert, nullptr);
        exec(db, "BEGIN IMMEDIATE", state);
        for (const Value& row : rows) {
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
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        exec(db, "COMMIT", state);
        sqlite3_finalize(insert);

        state.PauseTiming();
        sqlite3_close(db);
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

BENCHMARK(BM_FeedIntake)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedIntakeFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedParse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedRecords)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedStore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FeedArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the real time per iteration of every run of each benchmark; the closing ratios use the
// median over the repetitions (--benchmark_repetitions), which one disturbed run does not move.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                            static_cast<double>(run.iterations));
    }
    double seconds(const std::string& name) const {
        auto it = times.find(name);
        if (it == times.end() || it->second.empty()) return 0;
        std::vector<double> sorted = it->second;
        std::sort(sorted.begin(), sorted.end());
        size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    std::map<std::string, std::vector<double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (fs::temp_directory_path() / "brindlecue-feed-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    benchRoot = pattern;
    DictionaryTransformer::registerDictionaryTransformer();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double library = reporter.seconds("BM_FeedIntake");
    double floor = reporter.seconds("BM_FeedIntakeFloor");
    if (library > 0 && floor > 0) {
        std::printf("\n%-12s %14s %14s %7s %8s\n", "pair", "library ns", "floor ns", "ratio", "target");
        std::printf("%-12s %14.0f %14.0f %7.2f %8s\n", "FeedIntake", library * 1e9, floor * 1e9,
                    library / floor, "<= 3.0");
    }

    KJDBManager::resetForTesting();
    std::error_code ec;
    fs::remove_all(benchRoot, ec);
    return 0;
}
