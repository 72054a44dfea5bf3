// Targeting speed: the forest finder dumping and grouping one screen of about 2,000 views, and one
// of about 20,000, beside a plain depth-first walk of the same views, measured in one run. After
// the runs the program prints the minimum and the median over the repetitions
// (--benchmark_repetitions=3) with the budgets: 2,000 views in at most 4 ms, 20,000 in at most
// 11 times that.
//
//   ForestOfScreen/N a new forest finder builds its forest of the key window of N cards: the
//                    view-tree dump, the leaf pickup, finding each leaf's view again, the climb to
//                    landmarks, naming, the on-screen filter and the grouping. The finder writes a
//                    line to the system log for every leaf it finds again; as in a host, a sink
//                    takes every line (here one write(2) per line into a file, as a log daemon's
//                    socket gets one message per line).
//   DepthFirstWalk/N every view of the same window visited depth first (its class name read).
//
// The screen: a window with a navigation controller whose top controller shows a scroll view
// of 100 (or 1,000) cards, each a button, two labels, an image, a switch, a segmented control of
// two segments and a few plain container views (20 views a card), most of them below the screen.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "BenchReport.h"
#include "facade/BLQFacadeLink.h"
#include "platform/LogSink.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "targeting/BLQTargetingAlgorithmV3.h"
#include "targeting/KJTargettingWidgetV2.h"

using namespace brindlecue;
using namespace brindlecue::platform;

namespace {

constexpr int kCards = 100;
constexpr int kManyCards = 1000;

// Every system-log line written out, one write per line, as a host's log takes them.
class FileLogSink final : public LogSink {
public:
    explicit FileLogSink(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)) {}
    ~FileLogSink() override { ::close(fd_); }
    void write(const LogEntry& entry) override {
        std::string line = entry.subsystem + "[" + entry.category + "] <" + logTypeName(entry.type) + "> " +
                           entry.message + "\n";
        std::lock_guard lock(mutex_);
        lines_ += ::write(fd_, line.data(), line.size()) > 0 ? 1 : 0;
    }
    size_t lines() const { return lines_; }

private:
    int fd_;
    std::mutex mutex_;
    size_t lines_ = 0;
};

struct Screen {
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
    size_t views = 0;
};

std::shared_ptr<UIView> makeCard(int index) {
    auto card = make<UIView>(CGRect(8, 8 + index * 96, 359, 88));
    auto header = make<UIView>(CGRect(0, 0, 359, 40));
    auto title = make<UILabel>(CGRect(8, 4, 200, 20));
    title->setText("Card " + std::to_string(index));
    auto subtitle = make<UILabel>(CGRect(8, 22, 200, 16));
    subtitle->setText("Details of card " + std::to_string(index));
    auto icon = make<UIImageView>(CGRect(310, 4, 32, 32));
    header->addSubview(title);
    header->addSubview(subtitle);
    header->addSubview(icon);
    auto body = make<UIView>(CGRect(0, 40, 359, 48));
    auto button = make<UIButton>(CGRect(8, 8, 120, 32));
    button->setTitle("Open " + std::to_string(index), UIControlStateNormal);
    auto toggle = make<UISwitch>();
    toggle->setFrame(CGRect(140, 8, 51, 31));
    auto segments = make<UISegmentedControl>(std::vector<std::string>{"Day", "Week"});
    segments->setFrame(CGRect(200, 8, 150, 32));
    auto spacer = make<UIView>(CGRect(0, 46, 359, 1));
    auto badge = make<UIView>(CGRect(330, 0, 20, 20));
    auto badgeDot = make<UIView>(CGRect(5, 5, 10, 10));
    badge->addSubview(badgeDot);
    auto footer = make<UIView>(CGRect(0, 80, 359, 8));
    footer->addSubview(make<UIView>(CGRect(0, 0, 100, 8)));
    footer->addSubview(make<UIView>(CGRect(120, 0, 100, 8)));
    card->addSubview(footer);
    body->addSubview(button);
    body->addSubview(toggle);
    body->addSubview(segments);
    body->addSubview(spacer);
    body->addSubview(badge);
    card->addSubview(header);
    card->addSubview(body);
    return card;
}

size_t countViews(const UIView& view) {
    size_t n = 1;
    for (const auto& subview : view.subviews()) n += countViews(*subview);
    return n;
}

Screen makeScreen(int cards) {
    Screen out;
    auto controller = make<UIViewController>();
    controller->setTitle("Cards");
    auto scroll = make<UIScrollView>(CGRect(0, 0, 375, 812));
    scroll->setContentSize({375, 8 + cards * 96.0});
    for (int i = 0; i < cards; ++i) scroll->addSubview(makeCard(i));
    controller->view()->addSubview(scroll);
    out.navigation = make<UINavigationController>(controller);
    out.window = make<UIWindow>();
    out.window->setRootViewController(out.navigation);
    out.window->makeKeyAndVisible();
    RunLoop::main().runUntilIdle();
    out.window->layoutIfNeeded();
    out.views = countViews(*out.window);
    return out;
}

// The screen of that many cards, the only window (the dump reads the first window of the
// scene): a screen of another size is taken away first.
Screen& screen(int cards) {
    static auto* current = new std::pair<int, Screen>(0, Screen{});  // views outlive the run
    if (current->first != cards) {
        if (current->second.window) current->second.window->setHidden(true);
        current->second = Screen{};
        RunLoop::main().runUntilIdle();
        current->second = makeScreen(cards);
        current->first = cards;
    }
    return current->second;
}

void walk(const UIView& view, size_t& visited) {
    benchmark::DoNotOptimize(view.className());
    ++visited;
    for (const auto& subview : view.subviews()) walk(*subview, visited);
}

void BM_ForestOfScreen(benchmark::State& state) {
    Screen& s = screen(static_cast<int>(state.range(0)));
    size_t nodes = 0;
    for (auto _ : state) {
        KJTargettingWidgetV2 finder;
        finder.generateViewHierarchyForest(s.window, false);
        nodes = 0;
        for (const auto& [ancestor, byType] : finder.ancestorForest)
            for (const auto& [type, group] : byType) nodes += group.size();
        benchmark::DoNotOptimize(nodes);
    }
    state.counters["views"] = double(s.views);
    state.counters["forest_nodes"] = double(nodes);
    if (UIApplication::sharedApplication()->windows().size() != 1)
        state.SkipWithError("another window is up");
}

void BM_DepthFirstWalk(benchmark::State& state) {
    Screen& s = screen(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        size_t visited = 0;
        walk(*s.window, visited);
        benchmark::DoNotOptimize(visited);
    }
    state.counters["views"] = double(s.views);
}

BENCHMARK(BM_ForestOfScreen)->Arg(kCards)->Arg(kManyCards)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DepthFirstWalk)->Arg(kCards)->Arg(kManyCards)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    auto algorithm = std::make_shared<BLQTargetingAlgorithmV3>();
    BLQFacadeLink::setTargetingAlgo(algorithm);
    const std::string logFile = (std::filesystem::temp_directory_path() /
                                 ("brindlecue-targeting-bench-" + std::to_string(::getpid()) + ".log"))
                                    .string();
    auto sink = std::make_shared<FileLogSink>(logFile);
    LogSink::install(sink);

    benchreport::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string small = "/" + std::to_string(kCards), large = "/" + std::to_string(kManyCards);
    std::printf("\nlog lines written: %zu\n", sink->lines());
    benchreport::print(
        reporter,
        {
            {"Forest 2,000 views", "BM_ForestOfScreen" + small, "", 4.0},
            {"Forest 20,000 vs 2,000", "BM_ForestOfScreen" + large, "BM_ForestOfScreen" + small, 11.0},
            {"Forest 2,000 vs walk", "BM_ForestOfScreen" + small, "BM_DepthFirstWalk" + small, 0},
        });
    LogSink::install(nullptr);
    std::remove(logFile.c_str());
    BLQFacadeLink::setTargetingAlgo(nullptr);
    return 0;
}
