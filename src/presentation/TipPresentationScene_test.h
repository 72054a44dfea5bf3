#pragma once

// A host screen for the tip controllers' tests: a key window (the default 375 by 812 screen, a
// 44-point status bar) showing a screen with a target button at (40, 300, 100, 40), a recording
// engine and facade behind the controllers, steps built in code, and helpers that run the two
// main-queue turns of a presentation and move the virtual clock.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "facade/BLQFacadeLink.h"
#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipTextElement.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "presentation/KJCoverView.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipPresentation.h"
#include "support/FakeTextMeasurer.h"
#include "support/StubTipManager.h"

namespace brindlecue::tipscreen {

using namespace brindlecue::platform;

class HostScreen : public UIViewController {
public:
    std::string className() const override { return "ProfileViewController"; }
    void viewDidLoad() override {
        target = make<UIButton>(CGRect(40, 300, 100, 40));
        view()->addSubview(target);
    }
    std::shared_ptr<UIButton> target;
};

// The engine as the controllers see it: it keeps the cover and the displayed feed id and counts
// what it is told.
class RecordingEngine final : public testsupport::StubTipManager {
public:
    std::shared_ptr<UIView> tipCoverView() const override { return cover; }
    void setTipCoverView(const std::shared_ptr<UIView>& c) override { cover = c; }
    void setCurrentDisplayedTipFeedID(std::optional<std::string> id) override { displayedFeedId = id; }
    std::shared_ptr<KJTipSeriesElement> currentTipSeries() const override { return currentSeries; }
    bool isCarouselIntegrated() const override { return carouselIntegrated; }
    void coachmarkClicked() override { ++coachmarkClicks; }
    void addOffScreenTip(const std::shared_ptr<KJTipElement>&) override { ++offScreen; }
    void updateFeedRepeatConditions(const std::shared_ptr<KJTipElement>&) override { ++repeatUpdates; }
    void removeTipSeries(const std::shared_ptr<KJTipSeriesElement>&) override { ++removedSeries; }
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>&) override { ++unhooked; }
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override {
        return current.lock();
    }

    std::shared_ptr<UIView> cover;
    std::optional<std::string> displayedFeedId;
    std::shared_ptr<KJTipSeriesElement> currentSeries;
    bool carouselIntegrated = false;
    int coachmarkClicks = 0, repeatUpdates = 0, offScreen = 0, removedSeries = 0, unhooked = 0;
    std::weak_ptr<BLQITipViewController> current;
};

class RecordingFacade final : public BLQITipPresentationFacade {
public:
    std::optional<std::string> appKey() const override { return "app-key"; }
    std::shared_ptr<UIViewController> topMostViewController() const override { return top; }
    void sendFeedAck(const std::string& feedId) override {
        std::lock_guard lock(mutex);
        acks.push_back(feedId);
    }
    void notifyFeedResult(const std::string& feedId, const std::string&, BLQFeedResult result,
                          const std::string&, bool deleteFeed, bool) override {
        results.push_back(feedId + " " + std::to_string(static_cast<int>(result)) +
                          (deleteFeed ? " delete" : ""));
    }
    std::vector<std::string> acksSoFar() {
        std::lock_guard lock(mutex);
        return acks;
    }

    std::shared_ptr<UIViewController> top;
    std::mutex mutex;
    std::vector<std::string> acks, results;
};

// A modal step 300 points wide with a title, a text, a next button and a coachmark overlay.
inline std::shared_ptr<KJTipElement> modalStep() {
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "feed-1";
    step->tipType = 3;
    step->placement = 1;
    step->widthUnit = "DP";
    step->width = 300;
    step->padding = {10, 10, 12, 12};
    step->backgroundColor = UIColor::whiteColor();
    step->title = std::make_shared<KJTipTextElement>();
    step->title->text = "Your profile";
    step->title->fontSize = 18;
    step->content = std::make_shared<KJTipTextElement>();
    step->content->text = "Tap here to change your picture.";
    step->next = std::make_shared<KJTipButtonElement>();
    step->next->buttonText = "Next";
    step->next->buttonAlignment = "right";
    step->isHorizontal = true;
    step->overlay = std::make_shared<KJOverlay>();
    step->overlay->type = "coachmark";
    step->overlay->padding = {10, 10, 10, 10};
    step->overlay->borderWidth = 2;
    step->overlay->cornerRadius = 40;
    step->overlay->backgroundColor = UIColor(0, 0, 0, 0.6);
    return step;
}

// In type and direction, out type and direction, both durations.
inline std::shared_ptr<KJTipAnimationElement> animation(int32_t in, int32_t inTo, int32_t out, int32_t outTo,
                                                        double duration = 0.4) {
    auto a = std::make_shared<KJTipAnimationElement>();
    std::tie(a->inType, a->inDirection, a->outType, a->outDirection) = std::tie(in, inTo, out, outTo);
    a->inDuration = a->outDuration = duration;
    return a;
}

class TipScreenTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        ClassRegistry::registerClass("ProfileViewController", "UIViewController");
        screen = make<HostScreen>();
        window = make<UIWindow>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        KJTipPresentation::setFacade(facade);
        RunLoop::main().runUntilIdle();
    }

    void TearDown() override {
        if (controller) controller->dismissOnTopWithRemoveCover(true);
        RunLoop::main().runUntilIdle();
        window->setHidden(true);
        KJTipPresentation::setFacade(nullptr);
        BLQFacadeLink::setPreviewModeCheck(nullptr);
    }

    // A modal controller of the step, wired to the recording engine.
    std::shared_ptr<KJModalTipViewController> controllerFor(const std::shared_ptr<KJTipElement>& step) {
        controller = make<KJModalTipViewController>();
        controller->setTipManager(engine);
        controller->setTip(step);
        controller->setDismissHandler([this] { ++dismissHandlerRuns; });
        engine->current = controller;
        return controller;
    }

    // Presents and runs the presentation's main-queue turns; records which block was called.
    void present(const std::shared_ptr<KJBaseTipViewController>& c, bool withBlocks = true,
                 std::shared_ptr<UIView> cover = nullptr) {
        if (withBlocks) {
            c->presentTipWithCoverView(
                cover, nullptr, screen,
                [this](const std::shared_ptr<KJTipElement>& s) { shown.push_back(s); },
                [this](const std::shared_ptr<KJTipElement>& s) { failed.push_back(s); });
        } else {
            c->presentTipWithCoverView(cover, nullptr, screen, nullptr, nullptr);
        }
        RunLoop::main().runUntilIdle();
    }

    std::shared_ptr<KJCoverView> cover() const {
        return std::dynamic_pointer_cast<KJCoverView>(engine->cover);
    }

    testsupport::ScopedTextMeasurer measurer;
    std::shared_ptr<RecordingEngine> engine = std::make_shared<RecordingEngine>();
    std::shared_ptr<RecordingFacade> facade = std::make_shared<RecordingFacade>();
    std::shared_ptr<HostScreen> screen;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<KJModalTipViewController> controller;
    std::vector<std::shared_ptr<KJTipElement>> shown, failed;
    int dismissHandlerRuns = 0;
};

}  // namespace brindlecue::tipscreen
