// Starting the library, beside its floor, measured in one run. After the runs the program prints
// the minimum and the median of the repetitions of each, their ratios and the 2x budget.
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

#include <filesystem>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "facade/Brindlecue.h"
#include "platform/AppContainer.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/coredata/PersistentContainer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
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
    // The work the launch started ends first, as a process's would before it ended.
    auto letWorkEnd = [] {
        do RunLoop::main().runUntilIdle();
        while (DispatchQueue::backgroundWorkPending());
    };
    letWorkEnd();
    TestingReset::runAll();
    letWorkEnd();
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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    benchreport::print(reporter, {{"StartFacade", "BM_StartFacade", "BM_StartFacadeFloor", 2.0}});
    return 0;
}
