// Starting the library, beside its floor, measured in one run. After the runs the program prints
// the minimum and the median of the repetitions of each, their ratios and the 2x budget, for the
// launches in this process and for those in new processes.
//
//   StartFacade       the facade made as a host's first call makes it: the dependency composer,
//                     the Core Data stack and its stores, the campaign cache, the user defaults,
//                     every manager built and the seams filled. Network excluded: no start call.
//   StartFacadeFloor  opening the two SQLite files the facade opens (the Core Data store and the
//                     campaign cache) with a first read of each, and reading the user defaults
//                     as an app reads them: the standard instance, whose file the main bundle names.
//                     Like the facade, the floor leaves its files open: closing them (for the
//                     store, a checkpoint and the removal of its write-ahead log) is the end of
//                     a process, not its launch, and happens off the clock for both.
//
// Every iteration starts from what a new process finds: the files of the previous launch on disk,
// nothing open. Both start right after a facade ended, the floor's too (see BM_StartFacadeFloor).
// The clock is virtual, so the timers a facade starts never fire.
//
//   StartFacadeNewProcess / StartFacadeFloorNewProcess
//                     the same two, each launch in a new process of this program (the child times
//                     its own launch): what a host's launch pays, with the costs a process pays
//                     once (libraries' set-up, first use of the heap) that the repeated launches
//                     above pay only on the first.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
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

fs::path benchRoot() {
    return fs::temp_directory_path() / "brindlecue-facade-bench";
}

// A first launch over a new container leaves the files every later launch opens.
void prepare() {
    static bool done = [] {
        fs::path root = benchRoot();
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

// The connections the floor's last launch left open.
std::vector<sqlite3*>& floorConnections() {
    static std::vector<sqlite3*> open;
    return open;
}

// What a process that ended leaves: nothing open, nothing cached.
void endProcess() {
    // The work the launch started ends first, as a process's would before it ended.
    auto letWorkEnd = [] {
        do RunLoop::main().runUntilIdle();
        while (DispatchQueue::backgroundWorkPending());
    };
    letWorkEnd();
    for (sqlite3* db : floorConnections()) sqlite3_close(db);
    floorConnections().clear();
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
    floorConnections().push_back(db);
}

struct FloorFiles {
    fs::path store, cache, defaults;
};

FloorFiles floorFiles() {
    return {PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite", KJDBSettings::databasePath(),
            UserDefaults::standard().file()};
}

void floorLaunch(const fs::path& store, const fs::path& cache) {
    openAndRead(store);
    openAndRead(cache);
    benchmark::DoNotOptimize(UserDefaults::standard().object("NumTimesAppUsed"));
}

void BM_StartFacadeFloor(benchmark::State& state) {
    prepare();
    const FloorFiles files = floorFiles();
    if (!fs::exists(files.store) || !fs::exists(files.cache) || !fs::exists(files.defaults)) {
        state.SkipWithError("the first launch left no files");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        endProcess();
        // Each facade launch follows the end of the one before it, which leaves the heap and the
        // processor's caches as a facade's end leaves them. The floor starts from there too:
        // without it, its own small loop would keep its code and data warm, as no launch finds them.
        benchmark::DoNotOptimize(Brindlecue::sharedInstance());
        endProcess();
        state.ResumeTiming();
        floorLaunch(files.store, files.cache);
    }
}

// The child's side: one launch, its time in nanoseconds on standard output. "library" starts the
// facade over the container the parent prepared; "floor" opens the files named after it and reads
// the user defaults of that container. The work a launch started ends before the process does;
// neither closes its files, so each child leaves them as an ended process leaves them to the next
// (the store's write-ahead log included).
int launchChild(int argc, char** argv) {
    const bool library = std::strcmp(argv[2], "library") == 0;
    if (library ? argc != 4 : argc != 6) return 2;
    AppContainer::setRoot(argv[3]);
    if (library) Clock::useVirtual();
    const auto start = std::chrono::steady_clock::now();
    if (library)
        benchmark::DoNotOptimize(Brindlecue::sharedInstance());
    else
        floorLaunch(argv[4], argv[5]);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    do RunLoop::main().runUntilIdle();
    while (DispatchQueue::backgroundWorkPending());
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
    std::fflush(stdout);
    return 0;
}

// One launch in a new process of this program, with the arguments after "--launch-child": its
// time in seconds, or a negative number when the child failed.
double launchInChild(const std::vector<std::string>& arguments) {
    int out[2];
    if (pipe(out) != 0) return -1;
    std::vector<char*> argv{const_cast<char*>("facade_bench"), const_cast<char*>("--launch-child")};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
    return std::stod(text) / 1e9;
}

void launches(benchmark::State& state, bool library) {
    prepare();
    const FloorFiles files = floorFiles();
    // The files as a process that ended leaves them.
    endProcess();
    const std::vector<std::string> arguments =
        library ? std::vector<std::string>{"library", benchRoot().string()}
                : std::vector<std::string>{"floor", benchRoot().string(), files.store.string(), files.cache.string()};
    for (auto _ : state) {
        const double seconds = launchInChild(arguments);
        if (seconds < 0) {
            state.SkipWithError("the launch failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_StartFacadeNewProcess(benchmark::State& state) {
    launches(state, true);
}

void BM_StartFacadeFloorNewProcess(benchmark::State& state) {
    launches(state, false);
}

BENCHMARK(BM_StartFacade)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_StartFacadeFloor)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_StartFacadeNewProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30)->Repetitions(3);
BENCHMARK(BM_StartFacadeFloorNewProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--launch-child") == 0) return launchChild(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    benchreport::print(reporter, {{"StartFacade", "BM_StartFacade", "BM_StartFacadeFloor", 2.0},
                                  {"StartFacade new process", "BM_StartFacadeNewProcess",
                                   "BM_StartFacadeFloorNewProcess", 2.0}});
    std::error_code ec;
    fs::remove_all(benchRoot(), ec);
    return 0;
}
