// Recording user events, beside its floor in raw SQLite, measured in one run on the same disk with
// the same durability (WAL and synchronous=FULL). Times are wall-clock: the work runs on the
// store's queue.
//
//   RecordEvents/N   N events (1,000 and 10,000) recorded through the user-event manager without waiting,
//   until
//                    the last of them is on disk with its code, details, session and status: the
//                    store's record, the dedupe check and the send conditions, no upload. The
//                    mix: page enters and exits over 40 pages (repeats within a second are
//                    deduped), feed acknowledgements and results, tag updates; 2 ms apart on the
//                    clock.
//   RawRecordEvents/N  the same rows, every column the store writes (the details already archived),
//                    as prepared inserts in one transaction.
//
//   RecordEventsEach 100 events of the mix, each on disk before the next is recorded; floor: the
//                    same rows as autocommit inserts.
//
// After the runs the program prints each pair with its ratio, with the minimum and the median over
// the repetitions (--benchmark_repetitions=3): the burst of 1,000 at most 2x its floor, one by one
// at most 1.5x, and the burst of 10,000 at most 11x the burst of 1,000.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "config/BLQHTTPAPIEndpoints.h"
#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQUserEventManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQSessionManager.h"
#include "platform/AppContainer.h"
#include "platform/Crypto.h"
#include "platform/coredata/ValueTransformer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataConfigDataStore.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQPersistentContainer.h"
#include "storage/BLQTagDTO.h"
#include "storage/DictionaryTransformer.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kEvents = 1000;
constexpr int kLargeBurst = 10000;
constexpr int kEach = 100;
constexpr double kSpacing = 0.002;
constexpr const char* kAppKey = "bench-key";

fs::path benchRoot;
int containerCount = 0;

fs::path freshContainer() {
    std::string name = "c";
    name += std::to_string(++containerCount);
    fs::path dir = benchRoot / name;
    fs::create_directories(dir);
    BLQCoreData::resetForTesting();
    RunLoop::main().runUntilIdle();
    AppContainer::setRoot(dir);
    return dir;
}

struct Countdown {
    std::mutex mutex;
    std::condition_variable changed;
    int left = 0;
    void done() {
        std::lock_guard lock(mutex);
        if (--left == 0) changed.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return left <= 0; });
    }
};

// One event of the mix.
struct MixEvent {
    int64_t code;
    std::string message;
    Value details;
    std::shared_ptr<BLQTagDTO> tag;
};

MixEvent mixEvent(int i) {
    const std::string page = "Page" + std::to_string(i % 40);
    switch (i % 5) {
        case 0:
            return {8108, page, Value(), nullptr};
        case 1:
            return {8109, page, Value(), nullptr};
        case 2:
            return {8200, "Ack feed: feed-" + std::to_string(i),
                    Value::dictionary({{"feed_id", "feed-" + std::to_string(i)}}), nullptr};
        case 3:
            return {8201, "Feed result: feed-" + std::to_string(i),
                    Value::dictionary({{"feed_id", "feed-" + std::to_string(i)},
                                       {"guideid", "campaign-7"},
                                       {"status", 1},
                                       {"feed_delete", false},
                                       {"complete", true},
                                       {"step_id", "step-2"}}),
                    nullptr};
        default:
            return {8999, "Tag updated", Value(), std::make_shared<BLQTagDTO>("level", std::to_string(i))};
    }
}

// The user-event store, telling the bench when each recorded event is on disk.
class CountingStore final : public BLQIUserEventDataStore {
public:
    CountingStore(std::shared_ptr<BLQCoreDataUserEventDataStore> store, Countdown& saved)
        : store_(std::move(store)), saved_(saved) {}

    void createUserEventObject(std::function<void(CreateResult)> completion) override {
        store_->createUserEventObject(std::move(completion));
    }
    void createUserEventObject(std::function<void(const std::shared_ptr<BLQUserEventDTO>&)> fill,
                               std::function<void(CreateResult)> completion) override {
        store_->createUserEventObject(std::move(fill),
                                      [this, completion = std::move(completion)](CreateResult r) {
                                          completion(std::move(r));
                                          saved_.done();
                                      });
    }
    void saveUserEvent(const std::shared_ptr<BLQUserEventDTO>& e) override { store_->saveUserEvent(e); }
    void saveUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& e) override {
        store_->saveUserEvents(e);
    }
    void deleteUserEvent(const std::shared_ptr<BLQUserEventDTO>& e) override { store_->deleteUserEvent(e); }
    void deleteUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& e) override {
        store_->deleteUserEvents(e);
    }
    void findUnsentUserEvents(std::function<void(ListResult)> c) override {
        store_->findUnsentUserEvents(std::move(c));
    }
    std::shared_ptr<BLQUserEventDTO> getUserEvent(const std::string& id) override {
        return store_->getUserEvent(id);
    }
    void associateUserEventsWithoutSessionToSession(const std::shared_ptr<BLQSessionDTO>& s) override {
        store_->associateUserEventsWithoutSessionToSession(s);
    }
    void takeUnsentUserEvents(std::function<void(ListResult)> c) override {
        store_->takeUnsentUserEvents(std::move(c));
    }
    void resetUserEventsBeingSent() override { store_->resetUserEventsBeingSent(); }

private:
    std::shared_ptr<BLQCoreDataUserEventDataStore> store_;
    Countdown& saved_;
};

class BenchAppDetails final : public BLQIAppDetailsProvider {
public:
    std::optional<std::string> appKey() const override { return std::string(kAppKey); }
    std::optional<int64_t> appId() const override { return 1; }
    std::optional<std::string> carrier() const override { return std::nullopt; }
    std::string clientVersion() const override { return "1.0"; }
    std::string developmentPlatform() const override { return "native"; }
    std::optional<std::string> installId() const override { return std::nullopt; }
    std::optional<std::string> installToken() const override { return std::nullopt; }
    std::optional<std::string> model() const override { return std::nullopt; }
    std::string sdkVersion() const override { return "3.0.3"; }
};

// Never called: nothing in the mix asks for an upload.
class NoSender final : public BLQIUserEventSender {
public:
    void uploadUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>&, BLQRequestSuccessBlock,
                          BLQRequestFailureBlock) override {}
};

// Waits for the queued work of the background context and the saves it asked for.
void settle() {
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    for (int i = 0; i < 3; ++i) context->performAndWait([] {});
    RunLoop::main().runUntilIdle();
}

struct Pipeline {
    std::shared_ptr<BLQUserEventManager> manager;
    int64_t sessionKey = 0;
    int64_t tagKey = 0;
};

// A new app container with an install, its session opened by the session manager, the tag of the
// mix and a manager whose priority list is empty (the mix triggers no upload).
Pipeline freshPipeline(Countdown& saved) {
    freshContainer();
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    auto installs = std::make_shared<BLQCoreDataInstallDataStore>(context);
    std::shared_ptr<BLQInstallDTO> install;
    installs->createInstallForAppKey(kAppKey, [&](BLQIInstallDataStore::CreateResult r) {
        install = std::get<std::shared_ptr<BLQInstallDTO>>(r);
    });
    settle();
    // The session is opened by the session manager, as the library opens it at start-up: the
    // manager knows the open session from then on.
    auto sessions = std::make_shared<BLQSessionManager>(
        std::make_shared<BLQCoreDataSessionDataStore>(context), std::make_shared<BenchAppDetails>());
    sessions->createNewSession(install, nullptr, nullptr);
    std::make_shared<BLQCoreDataTagDataStore>(context)->saveTag("level", std::any(std::string("0")), nullptr);
    auto config = std::make_shared<BLQConfigManager>(std::make_shared<BLQCoreDataConfigDataStore>(context),
                                                     std::make_shared<BLQHTTPAPIEndpoints>());
    config->setPriorityUserEventCodes({});
    config->setSDKVersion("3.0.3");
    settle();

    auto dedupers =
        std::make_shared<BLQUserEventDeduperManager>(std::vector<std::shared_ptr<BLQIUserEventDeduper>>{
            std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
            std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()});
    Pipeline pipeline;
    pipeline.manager = std::make_shared<BLQUserEventManager>(
        std::make_shared<CountingStore>(std::make_shared<BLQCoreDataUserEventDataStore>(context), saved),
        sessions, dedupers, config, std::make_shared<NoSender>(),
        std::vector<std::shared_ptr<BLQISendConditionVerifier>>{
            std::make_shared<BLQDisabledCodeSendConditionVerifier>(config),
            std::make_shared<BLQPriorityCodeSendConditionVerifier>(config)});
    settle();
    return pipeline;
}

void BM_RecordEvents(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    std::vector<MixEvent> mix;
    for (int i = 0; i < events; ++i) mix.push_back(mixEvent(i));
    for (auto _ : state) {
        state.PauseTiming();
        Countdown saved;
        auto pipeline = freshPipeline(saved);
        saved.left = events;
        state.ResumeTiming();

        for (const MixEvent& item : mix) {
            pipeline.manager->sendUserEventWithCode(item.code, item.tag, item.message, item.details, nullptr);
            Clock::advance(kSpacing);
        }
        saved.wait();
        RunLoop::main().runUntilIdle();  // the merge into the main context

        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * events);
}

// The same mix, each event on disk before the next is recorded (an app recording as things happen).
void BM_RecordEventsEach(benchmark::State& state) {
    std::vector<MixEvent> mix;
    for (int i = 0; i < kEach; ++i) mix.push_back(mixEvent(i));
    for (auto _ : state) {
        state.PauseTiming();
        Countdown saved;
        auto pipeline = freshPipeline(saved);
        state.ResumeTiming();

        for (const MixEvent& item : mix) {
            saved.left = 1;
            pipeline.manager->sendUserEventWithCode(item.code, item.tag, item.message, item.details, nullptr);
            saved.wait();
            RunLoop::main().runUntilIdle();
            Clock::advance(kSpacing);
        }

        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEach);
}

// MARK: - The floor

sqlite3* openRaw(const fs::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return db;
}

void exec(sqlite3* db, const std::string& sql, benchmark::State& state) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        state.SkipWithError(message ? message : "sql failed");
    sqlite3_free(message);
}

// The schema the library writes into a new store, read once from a store it made.
const std::vector<std::string>& storeSchema() {
    static std::vector<std::string> schema = [] {
        freshContainer();
        auto container = BLQCoreData::sharedInstance().persistentContainer();
        std::vector<std::string> out;
        sqlite3* db = openRaw(container->storeURL());
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid", -1,
                           &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        BLQCoreData::resetForTesting();
        return out;
    }();
    return schema;
}

struct RawRow {
    std::string id;
    int64_t code;
    std::string message;
    std::optional<Data> details;
    int64_t status;
    bool tagged;
};

std::vector<RawRow> rawRows(int count) {
    auto transformer = ValueTransformer::valueTransformerForName(DictionaryTransformer::kName);
    std::vector<RawRow> rows;
    for (int i = 0; i < count; ++i) {
        MixEvent item = mixEvent(i);
        RawRow row{Crypto::uuidString(), item.code, item.message, std::nullopt, 0, item.tag != nullptr};
        if (item.details.isDictionary()) row.details = *transformer->transformedValue(item.details).getData();
        rows.push_back(std::move(row));
    }
    return rows;
}

constexpr const char* kInsertEvent =
    "INSERT INTO UserEvent (Z_PK, Z_OPT, createdDate, modifiedDate, id, code, message, details, status, "
    "sdkVersion, session, tag) VALUES (?, 1, ?, ?, ?, ?, ?, ?, ?, '3.0.3', 1, ?)";

// The rows as prepared inserts: in one transaction, or each in its own (autocommit).
void rawInserts(benchmark::State& state, int count, bool oneTransaction) {
    auto rows = rawRows(count);
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        sqlite3* db = openRaw(dir / "raw-events.sqlite");
        exec(db, "BEGIN IMMEDIATE", state);
        for (const auto& sql : storeSchema()) exec(db, sql, state);
        exec(db, "COMMIT", state);
        double now = Date::now().timeIntervalSinceReferenceDate();
        state.ResumeTiming();

        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertEvent, -1, &insert, nullptr);
        if (oneTransaction) exec(db, "BEGIN IMMEDIATE", state);
        int64_t key = 0;
        for (const RawRow& row : rows) {
            sqlite3_bind_int64(insert, 1, ++key);
            sqlite3_bind_double(insert, 2, now + key * kSpacing);
            sqlite3_bind_double(insert, 3, now + key * kSpacing);
            sqlite3_bind_text(insert, 4, row.id.data(), static_cast<int>(row.id.size()), SQLITE_STATIC);
            sqlite3_bind_int64(insert, 5, row.code);
            sqlite3_bind_text(insert, 6, row.message.data(), static_cast<int>(row.message.size()),
                              SQLITE_STATIC);
            if (row.details)
                sqlite3_bind_blob(insert, 7, row.details->data(), static_cast<int>(row.details->size()),
                                  SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, 7);
            sqlite3_bind_int64(insert, 8, row.status);
            if (row.tagged)
                sqlite3_bind_int64(insert, 9, 1);
            else
                sqlite3_bind_null(insert, 9);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        if (oneTransaction) exec(db, "COMMIT", state);
        sqlite3_finalize(insert);

        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_RawRecordEvents(benchmark::State& state) {
    rawInserts(state, static_cast<int>(state.range(0)), true);
}

void BM_RawRecordEventsEach(benchmark::State& state) {
    rawInserts(state, kEach, false);
}

BENCHMARK(BM_RecordEvents)->Arg(kEvents)->Arg(kLargeBurst)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRecordEvents)->Arg(kEvents)->Arg(kLargeBurst)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordEventsEach)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRecordEventsEach)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string pattern = (fs::temp_directory_path() / "brindlecue-events-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    benchRoot = pattern;
    DictionaryTransformer::registerDictionaryTransformer();
    Clock::useVirtual();

    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string small = "/" + std::to_string(kEvents), large = "/" + std::to_string(kLargeBurst);
    benchreport::print(
        reporter,
        {
            {"RecordEvents 1,000", "BM_RecordEvents" + small, "BM_RawRecordEvents" + small, 2.0},
            {"RecordEventsEach 100", "BM_RecordEventsEach", "BM_RawRecordEventsEach", 1.5},
            {"RecordEvents 10,000 vs 1,000", "BM_RecordEvents" + large, "BM_RecordEvents" + small, 11.0},
            {"RecordEvents 10,000", "BM_RecordEvents" + large, "BM_RawRecordEvents" + large, 0},
        });

    BLQCoreData::resetForTesting();
    std::error_code ec;
    fs::remove_all(benchRoot, ec);
    return 0;
}
