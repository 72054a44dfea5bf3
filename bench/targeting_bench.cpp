// Targeting speed: the forest finder dumping and grouping one screen of about 2,000 views, beside
// a plain depth-first walk of the same views, measured in one run. After the runs the program
// prints the pair with its ratio and the budget of one display frame (16 ms).
//
//   ForestOfScreen   a new forest finder builds its forest of the key window: the view-tree dump,
//                    the leaf pickup, finding each leaf's view again, the climb to landmarks,
//                    naming, the on-screen filter and the grouping. The finder writes a line to
//                    the system log for every leaf it finds again; those writes are measured too
//                    (set BRINDLECUE_LOG=stderr to send them to standard error instead).
//   DepthFirstWalk   every view of the same window visited depth first (its class name read).
//
// The screen: a window with a navigation controller whose top controller shows a scroll view
// of 100 cards, each a button, two labels, an image, a switch, a segmented control of two
// segments and a few plain container views (20 views a card), most of them below the screen.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/BLQFacadeLink.h"
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

Screen& screen() {
    static Screen* s = [] {
        auto* out = new Screen;
        auto controller = make<UIViewController>();
        controller->setTitle("Cards");
        auto scroll = make<UIScrollView>(CGRect(0, 0, 375, 812));
        scroll->setContentSize({375, 8 + kCards * 96.0});
        for (int i = 0; i < kCards; ++i) scroll->addSubview(makeCard(i));
        controller->view()->addSubview(scroll);
        out->navigation = make<UINavigationController>(controller);
        out->window = make<UIWindow>();
        out->window->setRootViewController(out->navigation);
        out->window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
        out->window->layoutIfNeeded();
        out->views = countViews(*out->window);
        return out;
    }();
    return *s;
}

void walk(const UIView& view, size_t& visited) {
    benchmark::DoNotOptimize(view.className());
    ++visited;
    for (const auto& subview : view.subviews()) walk(*subview, visited);
}

void BM_ForestOfScreen(benchmark::State& state) {
    Screen& s = screen();
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
}

void BM_DepthFirstWalk(benchmark::State& state) {
    Screen& s = screen();
    for (auto _ : state) {
        size_t visited = 0;
        walk(*s.window, visited);
        benchmark::DoNotOptimize(visited);
    }
    state.counters["views"] = double(s.views);
}

BENCHMARK(BM_ForestOfScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DepthFirstWalk)->Unit(benchmark::kMicrosecond);

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
    auto algorithm = std::make_shared<BLQTargetingAlgorithmV3>();
    BLQFacadeLink::setTargetingAlgo(algorithm);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double forest = reporter.seconds["BM_ForestOfScreen"];
    double floor = reporter.seconds["BM_DepthFirstWalk"];
    if (forest > 0 && floor > 0) {
        std::printf("\n%-16s %12s %12s %9s %10s\n", "pair", "library ms", "floor ms", "ratio", "budget");
        std::printf("%-16s %12.3f %12.4f %9.0f %10s\n", "ForestOfScreen", forest * 1e3, floor * 1e3,
                    forest / floor, forest * 1e3 < 16 ? "< 16 ms" : "OVER 16 ms");
    }
    BLQFacadeLink::setTargetingAlgo(nullptr);
    return 0;
}
