// Inserting and saving 10,000 small objects through a managed-object context in one save, beside
// the same rows written with a raw prepared SQLite statement in one transaction. After the runs
// the program prints both mean times and their ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/AppContainer.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "platform/coredata/PersistentContainer.h"

using namespace brindlecue::platform;

namespace {

constexpr int kRows = 10000;

std::shared_ptr<const ManagedObjectModel> benchModel() {
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

std::filesystem::path freshStore(const char* name) {
    auto path = AppContainer::temporaryDirectory() / name;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    return path;
}

void BM_ContextInsertAndSave(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto container = std::make_unique<PersistentContainer>("Bench", benchModel());
        container->setStoreURL(freshStore("context.sqlite"));
        bool loaded = true;
        container->loadPersistentStores([&](const auto&, const std::optional<Error>& e) { loaded = !e; });
        if (!loaded) {
            state.SkipWithError("store did not load");
            break;
        }
        auto context = container->viewContext();
        state.ResumeTiming();

        for (int i = 0; i < kRows; ++i) {
            auto object = context->insertNewObject("Setting");
            object->setValue("key", "key-" + std::to_string(i));
            object->setValue("value", "value");
            object->setValue("count", i);
        }
        if (!context->save()) state.SkipWithError("save failed");

        state.PauseTiming();
        context.reset();
        container.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_RawSQLiteInsert(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(freshStore("raw.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db,
                     "CREATE TABLE Setting (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER NOT NULL DEFAULT 1, "
                     "\"key\" TEXT, \"value\" TEXT, \"count\" INTEGER)",
                     nullptr, nullptr, nullptr);
        state.ResumeTiming();

        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(
            db, "INSERT INTO Setting (Z_PK, Z_OPT, \"key\", \"value\", \"count\") VALUES (?, 1, ?, ?, ?)", -1,
            &insert, nullptr);
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 0; i < kRows; ++i) {
            std::string key = "key-" + std::to_string(i);
            sqlite3_bind_int64(insert, 1, i + 1);
            sqlite3_bind_text(insert, 2, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, "value", 5, SQLITE_STATIC);
            sqlite3_bind_int64(insert, 4, i);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            state.SkipWithError("commit failed");
        sqlite3_finalize(insert);

        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_ContextInsertAndSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSQLiteInsert)->Unit(benchmark::kMillisecond);

// Keeps the mean real time of each benchmark for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
    }
    std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "brindlecue-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 2;
    AppContainer::setRoot(pattern);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double context = reporter.seconds["BM_ContextInsertAndSave"];
    double raw = reporter.seconds["BM_RawSQLiteInsert"];
    if (context > 0 && raw > 0)
        std::printf("\n%d rows in one save: context %.2f ms, raw SQLite %.2f ms, ratio %.2f\n", kRows,
                    context * 1e3, raw * 1e3, context / raw);

    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
    return 0;
}
