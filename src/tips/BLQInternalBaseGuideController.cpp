#include "tips/BLQInternalBaseGuideController.h"

#include "feed/BLQGuidePayload.h"
#include "feed/BLQITipManager.h"
#include "feed/KJTipElement.h"
#include "foundation/BrindlecueContainer.h"
#include "presentation/BLQCustomGuideLink.h"
#include "tips/BLQIGuideController.h"
#include "tips/BLQOperations.h"

namespace brindlecue {

namespace {

constexpr const char* kPrefix = "CustomGuides: ";

}  // namespace

std::shared_ptr<BLQIGuideController> BLQInternalBaseGuideController::customGuideBlock() const {
    std::lock_guard lock(mutex_);
    return customGuideBlock_;
}

void BLQInternalBaseGuideController::setCustomGuideBlock(std::shared_ptr<BLQIGuideController> block) {
    std::lock_guard lock(mutex_);
    customGuideBlock_ = std::move(block);
}

std::shared_ptr<BLQITipManager> BLQInternalBaseGuideController::tipManager() const {
    std::lock_guard lock(mutex_);
    return tipManager_.lock();
}

void BLQInternalBaseGuideController::setTipManager(const std::weak_ptr<BLQITipManager>& manager) {
    std::lock_guard lock(mutex_);
    tipManager_ = manager;
}

void BLQInternalBaseGuideController::setTip(const std::shared_ptr<KJTipElement>& step) {
    std::lock_guard lock(mutex_);
    binding_.tip = step;
}

std::shared_ptr<KJTipElement> BLQInternalBaseGuideController::tip() const {
    std::lock_guard lock(mutex_);
    return binding_.tip;
}

void BLQInternalBaseGuideController::setClickOutsideHandler(OutsideHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.outside = std::move(handler);
}

void BLQInternalBaseGuideController::setClickCloseButtonHandler(CloseHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.close = std::move(handler);
}

void BLQInternalBaseGuideController::setClickInsideHandler(OutsideHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.inside = std::move(handler);
}

void BLQInternalBaseGuideController::setClickButton1Handler(ButtonHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.button1 = std::move(handler);
}

void BLQInternalBaseGuideController::setClickButton2Handler(ButtonHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.button2 = std::move(handler);
}

void BLQInternalBaseGuideController::setDismissHandler(DismissHandler handler) {
    std::lock_guard lock(mutex_);
    binding_.dismiss = std::move(handler);
}

BLQITipViewController::OutsideHandler BLQInternalBaseGuideController::clickOutsideHandler() const {
    std::lock_guard lock(mutex_);
    return binding_.outside;
}

BLQITipViewController::CloseHandler BLQInternalBaseGuideController::clickCloseButtonHandler() const {
    std::lock_guard lock(mutex_);
    return binding_.close;
}

BLQITipViewController::OutsideHandler BLQInternalBaseGuideController::clickInsideHandler() const {
    std::lock_guard lock(mutex_);
    return binding_.inside;
}

BLQITipViewController::ButtonHandler BLQInternalBaseGuideController::clickButton1Handler() const {
    std::lock_guard lock(mutex_);
    return binding_.button1;
}

BLQITipViewController::ButtonHandler BLQInternalBaseGuideController::clickButton2Handler() const {
    std::lock_guard lock(mutex_);
    return binding_.button2;
}

BLQITipViewController::DismissHandler BLQInternalBaseGuideController::dismissHandler() const {
    std::lock_guard lock(mutex_);
    return binding_.dismiss;
}

std::shared_ptr<platform::UIView> BLQInternalBaseGuideController::coverView() const {
    std::lock_guard lock(mutex_);
    return coverView_;
}

void BLQInternalBaseGuideController::setCoverView(std::shared_ptr<platform::UIView> coverView) {
    std::lock_guard lock(mutex_);
    coverView_ = std::move(coverView);
}

std::shared_ptr<platform::UIView> BLQInternalBaseGuideController::transparentView() const {
    std::lock_guard lock(mutex_);
    return transparentView_;
}

void BLQInternalBaseGuideController::setTransparentView(std::shared_ptr<platform::UIView> view) {
    std::lock_guard lock(mutex_);
    transparentView_ = std::move(view);
}

void BLQInternalBaseGuideController::presentTipWithCoverView(const std::shared_ptr<platform::UIView>&,
                                                             const std::shared_ptr<platform::UIWindow>&,
                                                             const std::shared_ptr<platform::UIViewController>& viewController,
                                                             PresentSuccess success, PresentFailure failure) {
    std::shared_ptr<BLQIGuideController> block;
    std::shared_ptr<KJTipElement> step;
    {
        std::lock_guard lock(mutex_);
        block = customGuideBlock_;
        step = binding_.tip;
    }
    if (!block) {
        std::string key = step && step->guideBlockKey ? *step->guideBlockKey : std::string("<none>");
        log(std::string(kPrefix) + "There is no custom guide registered for key: " + key, BLQLoggingLevel::info);
        if (failure) failure(step);
        return;
    }

    BLQGuideStatus current = status_.load();
    const bool available = availableToDisplay(current);
    if (!available || (step && !status_.compare_exchange_strong(current, BLQGuideStatus::isAttemptingToDisplay))) {
        log(std::string(kPrefix) + "Unable to display guide as it is not available for display - status: " +
                description(status_.load()),
            BLQLoggingLevel::info);
        {
            // The step on screen keeps its own step and handlers.
            std::lock_guard lock(mutex_);
            binding_ = presented_;
        }
        if (failure) failure(step);
        return;
    }
    if (!step) {
        log(std::string(kPrefix) + "Unable to display guide as there is no tip info", BLQLoggingLevel::info);
        if (failure) failure(nullptr);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        presented_ = binding_;
    }

    auto container = std::make_shared<BrindlecueContainer>(std::make_shared<BLQGuidePayload>(step),
                                                           BLQCustomGuideLink::tagManager(),
                                                           std::make_shared<BLQOperations>());
    std::weak_ptr<BLQInternalBaseGuideController> weak = weak_from_this();
    block->presentGuideBlockWithBrindlecueContainer(
        container, viewController,
        [weak, success](const std::shared_ptr<BLQIGuidePayload>& payload) {
            if (auto self = weak.lock()) self->status_ = BLQGuideStatus::isDisplaying;
            if (success) success(payload ? payload->guide() : nullptr);
        },
        [weak, failure](const std::shared_ptr<BLQIGuidePayload>& payload) {
            if (auto self = weak.lock()) self->status_ = BLQGuideStatus::failedToDisplay;
            if (failure) failure(payload ? payload->guide() : nullptr);
        });
}

void BLQInternalBaseGuideController::dismissTipWithRemoveCoverView(bool, bool, std::function<void()> completion) {
    if (auto engine = tipManager()) engine->setCurrentDisplayedTipFeedID(std::string());
    setGuideStatusToIdle();
    if (auto handler = dismissHandler()) handler();
    if (auto block = customGuideBlock()) block->isDismissingGuide();
    if (completion) completion();
}

}  // namespace brindlecue
