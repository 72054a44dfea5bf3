// Starting the library, beside its floor, measured in one run. After the runs the program prints
// the medians of the repetitions with their ratio and the 2x budget.
//
//   StartFacade       the facade made as a host's first call makes it: the dependency composer,
//                     the Core Data stack and its stores, the campaign cache, the user defaults,
//                     every manager built and the seams filled. Network excluded: no start call.
//   StartFacadeFloor  opening the two SQLite files the facade opens (the Core Data store and the
//                     campaign cache) with a first read of each, and reading the user defaults.
//
// Every iteration starts from what a new process finds: the files of the previous launch on disk,
// nothing open. The clock is virtual, so the timers a facade starts never fire.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "facade/Brindlecue.h"
#include "platform/AppContainer.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/coredata/PersistentContainer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/KJDBSettings.h"

using namespace brindlecue;
using namespace brindlecue::platform;
namespace fs = std::filesystem;

namespace {

// A first launch over a new container leaves the files every later launch opens.
void prepare() {
    static bool done = [] {
        fs::path root = fs::temp_directory_path() / "brindlecue-facade-bench";
        fs::remove_all(root);
        fs::create_directories(root);
        AppContainer::setRoot(root);
        Clock::useVirtual();
        Brindlecue::sharedInstance();
        UserDefaults::standard().synchronize();
        BLQCoreData::sharedInstance().backgroundContext()->performAndWait([] {});
        return true;
    }();
    (void)done;
}

// What a process that ended leaves: nothing open, nothing cached.
void endProcess() {
    RunLoop::main().runUntilIdle();
    TestingReset::runAll();
    RunLoop::main().runUntilIdle();
    Clock::useVirtual();
}

void BM_StartFacade(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        state.PauseTiming();
        endProcess();
        state.ResumeTiming();
        auto facade = Brindlecue::sharedInstance();
        benchmark::DoNotOptimize(facade);
    }
}

void openAndRead(const fs::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr);
        sqlite3_step(statement);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
}

void BM_StartFacadeFloor(benchmark::State& state) {
    prepare();
    const fs::path store = PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite";
    const fs::path cache = KJDBSettings::databasePath();
    const fs::path defaults = UserDefaults::standard().file();
    if (!fs::exists(store) || !fs::exists(cache) || !fs::exists(defaults)) {
        state.SkipWithError("the first launch left no files");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        endProcess();
        state.ResumeTiming();
        openAndRead(store);
        openAndRead(cache);
        UserDefaults read(defaults);
        benchmark::DoNotOptimize(read.object("NumTimesAppUsed"));
    }
}

BENCHMARK(BM_StartFacade)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_StartFacadeFloor)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps the time per iteration of every repetition, by benchmark.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                              static_cast<double>(run.iterations));
    }
    double median(const std::string& name) {
        auto& values = seconds[name];
        if (values.empty()) return 0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    std::map<std::string, std::vector<double>> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double start = reporter.median("BM_StartFacade");
    const double floor = reporter.median("BM_StartFacadeFloor");
    if (start > 0 && floor > 0) {
        std::printf("\n%-14s %12s %12s %9s %10s\n", "median", "facade ms", "floor ms", "ratio", "target");
        std::printf("%-14s %12.3f %12.3f %9.2f %10s\n", "StartFacade", start * 1e3, floor * 1e3, start / floor,
                    start / floor <= 2.0 ? "<= 2.0" : "OVER 2.0");
    }
    return 0;
}
