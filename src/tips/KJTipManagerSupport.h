#pragma once

// Helpers shared by the sources of KJTipManager (its state and intake, selection, presentation
// and step results). Not for other users.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQLogRoute.h"
#include "targeting/KJTipTargetElement.h"

namespace brindlecue::tipengine {

constexpr const char* kAllScreens = "_ALL_";

// Step types.
constexpr int32_t kTourType = 1;
constexpr int32_t kPopTipType = 2;
constexpr int32_t kModalType = 3;
constexpr int32_t kCoachmarkType = 4;
constexpr int32_t kFeedbackType = 5;
constexpr int32_t kCarouselType = 6;
constexpr int32_t kCustomGuideType = 99;

// Trigger types.
constexpr int32_t kPageOpenTrigger = 1;
constexpr int32_t kButtonTrigger = 3;
constexpr int32_t kOnDemandTrigger = 4;

// Display bits.
constexpr int32_t kDomDisplay = 1;

// Preview overlay states.
constexpr int64_t kPreviewStateTipClosed = 0;
constexpr int64_t kPreviewStateFeedArrived = 4;
constexpr int64_t kPreviewStateNoOnDemand = 11;

// A "Guides: " line of the given level through the facade's logger.
inline void logGuides(int64_t level, const std::string& message) {
    BLQLogRoute::logToConsoleAtLevel(level, "Guides: " + message);
}

inline std::string text(const std::optional<std::string>& value) {
    return value.value_or("");
}

// The target descriptor of a step or campaign, as the targeting layer made it.
inline KJTipTargetElement* targetOf(const std::shared_ptr<BLQITipTargetElement>& target) {
    return dynamic_cast<KJTipTargetElement*>(target.get());
}

inline bool targetMatches(const std::shared_ptr<BLQITipTargetElement>& target,
                          const std::shared_ptr<platform::UIViewController>& controller) {
    const KJTipTargetElement* descriptor = targetOf(target);
    return descriptor != nullptr && descriptor->matchVC(controller);
}

inline std::string screenOfTarget(const std::shared_ptr<BLQITipTargetElement>& target) {
    return target ? target->vcClass() : std::string();
}

// The position of the step among its campaign's steps: the very step, else the first equal one.
inline std::optional<size_t> indexOfStep(const KJTipSeriesElement& series, const KJTipElement& step) {
    for (size_t i = 0; i < series.arrayTips.size(); ++i)
        if (series.arrayTips[i].get() == &step) return i;
    for (size_t i = 0; i < series.arrayTips.size(); ++i)
        if (series.arrayTips[i] && series.arrayTips[i]->isEqual(&step)) return i;
    return std::nullopt;
}

// The screen name of a view controller: its class name, or in a React Native host the native id
// its view's content view carries.
std::string screenNameOf(const std::shared_ptr<platform::UIViewController>& controller);

// "%f" of a number, as the log lines write it.
std::string decimal(double value);

}  // namespace brindlecue::tipengine
