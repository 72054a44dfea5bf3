#include "tips/BLQBaseGuideController.h"

#include "tips/BLQIInternalGuideController.h"

namespace brindlecue {

void BLQBaseGuideController::setInternalBase(const std::shared_ptr<BLQIInternalGuideController>& internalBase) {
    std::lock_guard lock(mutex_);
    internalBase_ = internalBase;
}

std::shared_ptr<BLQIInternalGuideController> BLQBaseGuideController::internalBase() const {
    std::lock_guard lock(mutex_);
    return internalBase_.lock();
}

void BLQBaseGuideController::dismissGuide() {
    auto base = internalBase();
    if (auto handler = base ? base->clickCloseButtonHandler() : nullptr) handler(true);
}

void BLQBaseGuideController::previousStepOfGuide() {
    auto base = internalBase();
    if (auto handler = base ? base->clickButton1Handler() : nullptr) handler(true, true);
}

void BLQBaseGuideController::nextStepOfGuide() {
    auto base = internalBase();
    if (!base) return;
    base->setGuideStatusToIdle();
    if (auto handler = base->clickButton2Handler()) handler(true, true);
}

void BLQBaseGuideController::tapInsideOfGuide() {
    auto base = internalBase();
    if (auto handler = base ? base->clickInsideHandler() : nullptr) handler(true);
}

void BLQBaseGuideController::tapOutsideOfGuide() {
    auto base = internalBase();
    if (auto handler = base ? base->clickOutsideHandler() : nullptr) handler(true);
}

}  // namespace brindlecue
