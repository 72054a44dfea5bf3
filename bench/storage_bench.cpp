// Storage speed, each library path beside its floor in raw SQLite, measured in one run on the same
// disk with the same durability (WAL and synchronous=FULL for the Core Data store, the default
// rollback journal and synchronous=FULL for the campaign cache). Times are wall-clock (the work
// runs on the stores' queues). After the runs the program prints every pair with its ratio.
// Before each measured burst and large save, on both sides, the files written so far are flushed
// and the heap trimmed, and a burst's container is removed once measured: otherwise what one
// repetition (of either side) left weighs on the next, and the ratio follows the order of the
// repetitions rather than the work.
//
//   UserEventBurst      1,000 events created through the user-event store without waiting, until
//                       the last completion (each runs once its event is on disk); floor: the same
//                       rows as prepared inserts in one transaction.
//   UserEventEach       100 events, each created and on disk before the next is asked for; floor:
//                       the same rows as autocommit inserts.
//   CampaignIntake      1,000 feed items into the campaign cache (set-up, archiving, one
//                       transaction); floor: the archived rows as prepared inserts in one
//                       transaction.
//   CampaignRead        the 1,000 active campaign rows read back through the cache; floor: the same
//                       SELECT on an open connection, copying the contents out.
//   FirstLaunch         the Core Data store (schema, seed setting) and the campaign cache opened
//                       in a new app container, each time in a new process of this program (a
//                       process pays its one-time costs, such as preparing statements, on its first
//                       launch only); floor: the same schema text and seed row in one
//                       transaction, and the cache's table, written raw in a new process as well,
//                       both connections left open as the library leaves its own. Each child
//                       times its own launch and reports it.
//   ContextSave10k      one context save of 10,000 inserted objects; floor: the same rows as
//                       prepared inserts in one transaction.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include "BenchReport.h"
#include "platform/AppContainer.h"
#include "platform/Crypto.h"
#include "platform/KeyedArchiver.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "platform/coredata/PersistentContainer.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQPersistentContainer.h"
#include "storage/DictionaryTransformer.h"
#include "storage/KJDBManager.h"
#include "storage/KJDBSettings.h"
#include "storage/KJDao.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kBurst = 1000;
constexpr int kEach = 100;
constexpr int kCampaigns = 1000;
constexpr int kRows = 10000;
constexpr const char* kAppKey = "bench-key";
constexpr const char* kCampaignTable =
    "CREATE TABLE IF NOT EXISTS 'QXFeeds' ('feedId' TEXT PRIMARY KEY, 'content' BLOB, 'appKey' TEXT, "
    "'installId' TEXT, 'campaignId' TEXT, 'numFeeds' INTEGER, 'created' DOUBLE, 'modified' DOUBLE, "
    "'activates' DOUBLE, 'expires' DOUBLE, 'type' TEXT,'deletionconditions' TEXT,'repeatconditions' "
    "TEXT,'triggerconditions' TEXT,'priority' INTEGER)";

fs::path benchRoot;
int containerCount = 0;

// A new, empty app container; the library's cached paths and open stores are dropped with it.
fs::path freshContainer() {
    fs::path dir = benchRoot / "c";
    dir += std::to_string(++containerCount);
    fs::create_directories(dir);
    BLQCoreData::resetForTesting();
    KJDBManager::resetForTesting();
    RunLoop::main().runUntilIdle();
    AppContainer::setRoot(dir);
    return dir;
}

void removeContainer(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// What one repetition leaves must not weigh on the next, on either side: called with the clock
// paused, right before the measured work. The heap gives back what the last repetition freed (a
// burst's objects freed just before would otherwise be consolidated inside the next measure), and
// the disk takes the files written so far (the set-up's and the last repetition's pages would
// otherwise be written back during the next measure's sync).
void settle() {
    malloc_trim(0);
    const int fd = open(benchRoot.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        syncfs(fd);
        close(fd);
    }
}

sqlite3* openRaw(const fs::path& file, bool wal) {
    fs::create_directories(file.parent_path());
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    sqlite3_busy_timeout(db, 5000);
    if (wal) sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return db;
}

void exec(sqlite3* db, const std::string& sql, benchmark::State& state) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        state.SkipWithError(message ? message : "sql failed");
    }
    sqlite3_free(message);
}

// The schema the library writes into a new store, read once from a store it made.
const std::vector<std::string>& storeSchema() {
    static std::vector<std::string> schema = [] {
        fs::path dir = freshContainer();
        auto container = BLQCoreData::sharedInstance().persistentContainer();
        std::vector<std::string> out;
        sqlite3* db = openRaw(container->storeURL(), false);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid", -1,
                           &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        BLQCoreData::resetForTesting();
        removeContainer(dir);
        return out;
    }();
    return schema;
}

void createStoreSchema(sqlite3* db, benchmark::State& state) {
    exec(db, "BEGIN IMMEDIATE", state);
    for (const auto& sql : storeSchema()) exec(db, sql, state);
    exec(db, "INSERT INTO Z_METADATA VALUES ('NSStoreUUID', '" + Crypto::uuidString() + "')", state);
    exec(db, "COMMIT", state);
}

// Counts completions that run on another queue.
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
        changed.wait(lock, [&] { return left == 0; });
    }
};

// MARK: - User events

std::shared_ptr<BLQCoreDataUserEventDataStore> freshEventStore() {
    freshContainer();
    return std::make_shared<BLQCoreDataUserEventDataStore>(BLQCoreData::sharedInstance().backgroundContext());
}

void BM_UserEventBurst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto store = freshEventStore();
        const fs::path dir = AppContainer::root();
        Countdown countdown;
        countdown.left = kBurst;
        settle();
        state.ResumeTiming();

        for (int i = 0; i < kBurst; ++i)
            store->createUserEventObject(
                [&](const BLQIUserEventDataStore::CreateResult&) { countdown.done(); });
        countdown.wait();
        RunLoop::main().runUntilIdle();  // the merge into the main context

        state.PauseTiming();
        store.reset();
        BLQCoreData::resetForTesting();
        RunLoop::main().runUntilIdle();
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
}

// The user-event table as the library makes it, with its indexes.
sqlite3* rawEventStore(benchmark::State& state) {
    fs::path dir = freshContainer();
    sqlite3* db = openRaw(dir / "raw-events.sqlite", true);
    createStoreSchema(db, state);
    return db;
}

struct EventRows {
    std::vector<std::string> ids;
    double now = 0;
};

EventRows eventRows(int count) {
    EventRows rows;
    for (int i = 0; i < count; ++i) rows.ids.push_back(Crypto::uuidString());
    rows.now = Date::now().timeIntervalSinceReferenceDate();
    return rows;
}

constexpr const char* kInsertEvent =
    "INSERT INTO UserEvent (Z_PK, Z_OPT, createdDate, modifiedDate, id, code, message, details, status, "
    "sdkVersion, session, tag) VALUES (?, 1, ?, ?, ?, 0, NULL, NULL, 0, NULL, NULL, NULL)";

bool insertEvent(sqlite3_stmt* insert, int key, const EventRows& rows) {
    const std::string& id = rows.ids[static_cast<size_t>(key - 1)];
    sqlite3_bind_int64(insert, 1, key);
    sqlite3_bind_double(insert, 2, rows.now);
    sqlite3_bind_double(insert, 3, rows.now);
    sqlite3_bind_text(insert, 4, id.data(), static_cast<int>(id.size()), SQLITE_STATIC);
    bool ok = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    return ok;
}

void BM_RawUserEventBurst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = rawEventStore(state);
        const fs::path dir = AppContainer::root();
        EventRows rows = eventRows(kBurst);
        settle();
        state.ResumeTiming();

        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertEvent, -1, &insert, nullptr);
        exec(db, "BEGIN IMMEDIATE", state);
        for (int i = 1; i <= kBurst; ++i)
            if (!insertEvent(insert, i, rows)) state.SkipWithError("insert failed");
        exec(db, "COMMIT", state);
        sqlite3_finalize(insert);

        state.PauseTiming();
        sqlite3_close(db);
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
}

void BM_UserEventEach(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto store = freshEventStore();
        state.ResumeTiming();

        for (int i = 0; i < kEach; ++i) {
            Countdown countdown;
            countdown.left = 1;
            store->createUserEventObject(
                [&](const BLQIUserEventDataStore::CreateResult&) { countdown.done(); });
            countdown.wait();
            RunLoop::main().runUntilIdle();
        }
    }
    state.SetItemsProcessed(state.iterations() * kEach);
}

void BM_RawUserEventEach(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = rawEventStore(state);
        EventRows rows = eventRows(kEach);
        state.ResumeTiming();

        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertEvent, -1, &insert, nullptr);
        for (int i = 1; i <= kEach; ++i)
            if (!insertEvent(insert, i, rows)) state.SkipWithError("insert failed");
        sqlite3_finalize(insert);

        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEach);
}

// MARK: - Campaign cache

struct BenchFeed final : KJDBFeedRecord {
    std::string id;
    Date activatesAt = Date::now().addingTimeInterval(-3600);
    Date expiresAt = Date::now().addingTimeInterval(86400);
    Date modifiedAt = Date::now().addingTimeInterval(-60);
    int64_t order = 0;

    std::optional<std::string> feed_id() const override { return id; }
    std::optional<std::string> app_key() const override { return std::string(kAppKey); }
    // Made once, as a feed record holds the content it was made from.
    Value contents = makeContent();

    std::optional<std::string> campaignid() const override { return "campaign-" + id; }
    bool isPreview() const override { return false; }
    Value content() const override { return contents; }
    static Value makeContent() {
        Array steps;
        for (int i = 0; i < 3; ++i)
            steps.push_back(
                Value::dictionary({{"step", i},
                                   {"title", "Welcome to the new screen"},
                                   {"body", "Tap here to see what changed since your last visit."},
                                   {"target", "button.save"}}));
        return Value::dictionary(
            {{"setup", Value::dictionary({{"tool", "tip"}, {"view", "Home"}, {"theme", "light"}})},
             {"payload", Value(std::move(steps))}});
    }
    std::optional<Date> activates() const override { return activatesAt; }
    std::optional<Date> expires() const override { return expiresAt; }
    std::optional<Date> modified() const override { return modifiedAt; }
    std::optional<std::string> deletion_conditions() const override { return std::string(""); }
    std::optional<std::string> repeat_conditions() const override { return std::string(R"({"repeat":[]})"); }
    std::optional<std::string> trigger_conditions() const override {
        return std::string(R"({"trigger":[]})");
    }
    int64_t priority() const override { return order; }
};

struct BenchSeries final : KJDBTipSeries {
    int32_t seriesTipType() const override { return 2; }
    std::optional<Date> seriesModified() const override { return std::nullopt; }
    void setFab(const Value&) override {}
    void setFaq(const Value&) override {}
};

std::vector<std::shared_ptr<KJDBFeedRecord>> benchFeeds() {
    std::vector<std::shared_ptr<KJDBFeedRecord>> feeds;
    for (int i = 0; i < kCampaigns; ++i) {
        auto feed = std::make_shared<BenchFeed>();
        feed->id = "feed-" + std::to_string(i);
        feed->order = i % 10;
        feeds.push_back(std::move(feed));
    }
    return feeds;
}

std::shared_ptr<KJDBManager> freshCache() {
    freshContainer();
    auto manager = KJDBManager::sharedInstance();
    KJDBManager::Collaborators c;
    c.appKey = [] { return std::optional<std::string>(kAppKey); };
    c.createFromFeed = [](const Value&) -> std::shared_ptr<KJDBTipSeries> {
        return std::make_shared<BenchSeries>();
    };
    manager->setCollaborators(c);
    return manager;
}

// The rows the cache writes for the feeds, as the floor inserts them.
std::vector<Value> archivedRows(const std::vector<std::shared_ptr<KJDBFeedRecord>>& feeds) {
    auto manager = freshCache();
    std::vector<Value> rows;
    for (const auto& feed : feeds)
        rows.push_back(manager->archiveDataToBeSaved(manager->setupFeedsDictionaryFromFeedObject(*feed)));
    return rows;
}

constexpr const char* kInsertCampaign =
    "INSERT OR REPLACE INTO "
    "QXFeeds('feedId','content','appKey','installId','campaignId','numFeeds','created',"
    "'modified','activates','expires','type','deletionconditions','repeatconditions','priority',"
    "'triggerconditions')VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

void bindText(sqlite3_stmt* stmt, int index, const Value& v) {
    const std::string* s = v.getString();
    if (s)
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(stmt, index);
}

void BM_CampaignIntake(benchmark::State& state) {
    auto feeds = benchFeeds();
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = freshCache();
        state.ResumeTiming();
        if (!manager->saveMultipleTipSeries(feeds)) state.SkipWithError("intake failed");
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

void BM_RawCampaignIntake(benchmark::State& state) {
    auto rows = archivedRows(benchFeeds());
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        sqlite3* db = openRaw(dir / "raw-cache.db", false);
        exec(db, kCampaignTable, state);
        state.ResumeTiming();

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
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

void BM_CampaignRead(benchmark::State& state) {
    auto manager = freshCache();
    manager->saveMultipleTipSeries(benchFeeds());
    for (auto _ : state) {
        auto contents = KJDao::findSeriesByFeedType("CAMPAIGN");
        if (contents.size() != static_cast<size_t>(kCampaigns)) state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(contents);
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

// The same read, and each content unarchived into a campaign.
void BM_CampaignReadAndUnarchive(benchmark::State& state) {
    auto manager = freshCache();
    manager->saveMultipleTipSeries(benchFeeds());
    for (auto _ : state) {
        auto series = manager->findAllCampaignFeeds();
        if (series.size() != static_cast<size_t>(kCampaigns)) state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(series);
    }
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

void BM_RawCampaignRead(benchmark::State& state) {
    freshCache()->saveMultipleTipSeries(benchFeeds());
    sqlite3* db = openRaw(KJDBSettings::databasePath(), false);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT content FROM QXFeeds WHERE type = ? AND activates < ? AND expires > ? "
                       "ORDER BY priority ASC",
                       -1, &select, nullptr);
    for (auto _ : state) {
        double now = Date::now().timeIntervalSince1970();
        sqlite3_bind_text(select, 1, "CAMPAIGN", -1, SQLITE_STATIC);
        sqlite3_bind_double(select, 2, now);
        sqlite3_bind_double(select, 3, now);
        std::vector<Data> contents;
        while (sqlite3_step(select) == SQLITE_ROW) {
            const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(select, 0));
            contents.emplace_back(bytes, bytes + sqlite3_column_bytes(select, 0));
        }
        sqlite3_reset(select);
        if (contents.size() != static_cast<size_t>(kCampaigns)) state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(contents);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kCampaigns);
}

// MARK: - First launch

// The child's side: one launch into the given container, timed, the nanoseconds on standard output.
int launchChild(const std::string& kind, const fs::path& dir, const fs::path& schemaFile) {
    fs::create_directories(dir);
    AppContainer::setRoot(dir);
    std::vector<std::string> schema;
    if (kind == "raw") {
        std::ifstream in(schemaFile);
        for (std::string line; std::getline(in, line);) schema.push_back(line);
    }
    const auto start = std::chrono::steady_clock::now();
    if (kind == "library") {
        benchmark::DoNotOptimize(BLQCoreData::sharedInstance().persistentContainer());
        benchmark::DoNotOptimize(KJDBManager::sharedInstance());
    } else {
        // The store keeps its connection open, as the library's does; the schema, the store's
        // identity and the seed setting go in one transaction.
        sqlite3* store = openRaw(dir / "Library" / "Application Support" / "Raw.sqlite", true);
        bool ok = sqlite3_exec(store, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        for (const auto& sql : schema)
            ok = ok && sqlite3_exec(store, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        const std::string seed =
            "INSERT INTO Z_METADATA VALUES ('NSStoreUUID', '" + Crypto::uuidString() + "')";
        ok = ok && sqlite3_exec(store, seed.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        ok =
            ok && sqlite3_exec(
                      store,
                      "INSERT INTO ConfigSetting (Z_PK, Z_OPT, createdDate, modifiedDate, key, value) VALUES "
                      "(1, 1, 0, NULL, 'BLQ_CONFIG_DEBUG_LOG_LEVEL', '2')",
                      nullptr, nullptr, nullptr) == SQLITE_OK;
        ok = ok && sqlite3_exec(store, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3* cache = openRaw(dir / "Library" / "Brindlecue" / "Raw.db", false);
        ok = ok && sqlite3_exec(cache, kCampaignTable, nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok) return 3;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
    std::fflush(stdout);
    return 0;
}

// Runs one launch of the kind in a new process of this program; its time in seconds, or a
// negative number when the child failed.
double launchInChild(const std::string& kind, const fs::path& dir) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const std::string schemaFile = (benchRoot / "schema.sql").string();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl("/proc/self/exe", "storage_bench", "--launch-child", kind.c_str(), dir.c_str(),
              schemaFile.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
    return std::stod(text) / 1e9;
}

void firstLaunches(benchmark::State& state, const std::string& kind) {
    // The schema the raw launch writes, as the library's store has it.
    {
        std::ofstream schema(benchRoot / "schema.sql");
        for (const auto& sql : storeSchema()) {
            std::string line = sql;
            std::replace(line.begin(), line.end(), '\n', ' ');
            schema << line << "\n";
        }
    }
    for (auto _ : state) {
        fs::path dir = benchRoot / ("launch" + std::to_string(++containerCount));
        double seconds = launchInChild(kind, dir);
        if (seconds < 0) {
            state.SkipWithError("the launch failed");
            break;
        }
        state.SetIterationTime(seconds);
        removeContainer(dir);
    }
}

void BM_FirstLaunch(benchmark::State& state) {
    firstLaunches(state, "library");
}

void BM_RawFirstLaunch(benchmark::State& state) {
    firstLaunches(state, "raw");
}

// MARK: - A large save

std::shared_ptr<const ManagedObjectModel> settingModel() {
    static auto model = [] {
        auto m = std::make_shared<ManagedObjectModel>();
        EntityDescription setting("Setting");
        setting.addAttribute("key", AttributeType::String)
            .addAttribute("value", AttributeType::String)
            .addAttribute("count", AttributeType::Integer64);
        m->addEntity(std::move(setting));
        return std::shared_ptr<const ManagedObjectModel>(m);
    }();
    return model;
}

void BM_ContextSave10k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        auto container = std::make_unique<PersistentContainer>("Bench", settingModel());
        container->setStoreURL(dir / "context.sqlite");
        bool loaded = true;
        container->loadPersistentStores([&](const auto&, const std::optional<Error>& e) { loaded = !e; });
        if (!loaded) {
            state.SkipWithError("store did not load");
            break;
        }
        auto context = container->viewContext();
        for (int i = 0; i < kRows; ++i) {
            auto object = context->insertNewObject("Setting");
            object->setValue("key", "key-" + std::to_string(i));
            object->setValue("value", "value");
            object->setValue("count", i);
        }
        settle();
        state.ResumeTiming();

        if (!context->save()) state.SkipWithError("save failed");

        state.PauseTiming();
        context.reset();
        container.reset();
        removeContainer(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_RawContextSave10k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshContainer();
        sqlite3* db = openRaw(dir / "raw.sqlite", true);
        exec(db,
             "CREATE TABLE Setting (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER NOT NULL DEFAULT 1, "
             "\"key\" TEXT, \"value\" TEXT, \"count\" INTEGER)",
             state);
        std::vector<std::string> keys;
        for (int i = 0; i < kRows; ++i) keys.push_back("key-" + std::to_string(i));
        settle();
        state.ResumeTiming();

        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(
            db, "INSERT INTO Setting (Z_PK, Z_OPT, \"key\", \"value\", \"count\") VALUES (?, 1, ?, ?, ?)", -1,
            &insert, nullptr);
        exec(db, "BEGIN IMMEDIATE", state);
        for (int i = 0; i < kRows; ++i) {
            const std::string& key = keys[static_cast<size_t>(i)];
            sqlite3_bind_int64(insert, 1, i + 1);
            sqlite3_bind_text(insert, 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, "value", 5, SQLITE_STATIC);
            sqlite3_bind_int64(insert, 4, i);
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
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_UserEventBurst)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawUserEventBurst)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UserEventEach)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawUserEventEach)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CampaignIntake)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawCampaignIntake)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CampaignRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CampaignReadAndUnarchive)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawCampaignRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstLaunch)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RawFirstLaunch)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_ContextSave10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawContextSave10k)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--launch-child") {
        DictionaryTransformer::registerDictionaryTransformer();
        return launchChild(argv[2], argv[3], argv[4]);
    }
    benchmark::Initialize(&argc, argv);
    std::string pattern = (fs::temp_directory_path() / "brindlecue-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    benchRoot = pattern;
    DictionaryTransformer::registerDictionaryTransformer();

    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    benchreport::print(
        reporter, {
                      {"UserEventBurst", "BM_UserEventBurst", "BM_RawUserEventBurst", 1.8},
                      {"UserEventEach", "BM_UserEventEach", "BM_RawUserEventEach", 1.5},
                      {"CampaignIntake", "BM_CampaignIntake", "BM_RawCampaignIntake", 2.0},
                      {"CampaignRead", "BM_CampaignRead", "BM_RawCampaignRead", 1.5},
                      {"CampaignReadAndUnarchive", "BM_CampaignReadAndUnarchive", "BM_RawCampaignRead", 0},
                      {"FirstLaunch", "BM_FirstLaunch", "BM_RawFirstLaunch", 2.0},
                      {"ContextSave10k", "BM_ContextSave10k", "BM_RawContextSave10k", 1.3},
                  });

    BLQCoreData::resetForTesting();
    KJDBManager::resetForTesting();
    std::error_code ec;
    fs::remove_all(benchRoot, ec);
    return 0;
}
