#pragma once

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

// Layer animations are records: a layer keeps what was added under each key, and nothing runs.
class CAAnimation : public NSObject {
public:
    BLQ_PLATFORM_CLASS(CAAnimation)

    static constexpr double HUGE_REPEAT = std::numeric_limits<double>::infinity();

    double duration = 0;  // 0: the platform's default of 0.25 s
    double beginTime = 0;
    double repeatCount = 0;
    bool autoreverses = false;
    bool removedOnCompletion = true;
    std::string fillMode = "removed";
    std::string timingFunction;  // "linear", "easeIn", "easeOut", "easeInEaseOut", "default" or empty
};

class CAPropertyAnimation : public CAAnimation {
public:
    BLQ_PLATFORM_CLASS(CAPropertyAnimation)
    std::string keyPath;
};

class CABasicAnimation : public CAPropertyAnimation {
public:
    BLQ_PLATFORM_CLASS(CABasicAnimation)
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(std::string keyPath) {
        auto a = make<CABasicAnimation>();
        a->keyPath = std::move(keyPath);
        return a;
    }
    Value fromValue;
    Value toValue;
    Value byValue;
};

class CAKeyframeAnimation : public CAPropertyAnimation {
public:
    BLQ_PLATFORM_CLASS(CAKeyframeAnimation)
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(std::string keyPath) {
        auto a = make<CAKeyframeAnimation>();
        a->keyPath = std::move(keyPath);
        return a;
    }
    std::vector<Value> values;
    std::vector<double> keyTimes;
};

class CATransition : public CAAnimation {
public:
    BLQ_PLATFORM_CLASS(CATransition)
    std::string type;     // "fade", "moveIn", "push", "reveal"
    std::string subtype;  // "fromLeft", "fromRight", "fromTop", "fromBottom"
};

class CAAnimationGroup : public CAAnimation {
public:
    BLQ_PLATFORM_CLASS(CAAnimationGroup)
    std::vector<std::shared_ptr<CAAnimation>> animations;
};

}  // namespace brindlecue::platform
