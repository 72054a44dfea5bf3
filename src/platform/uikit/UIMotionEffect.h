#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

// Motion effects are records: the stand-in has no device tilt, so a view keeps the effects
// added to it (UIView::addMotionEffect) and nothing moves.
class UIMotionEffect : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIMotionEffect)
};

enum class UIInterpolatingMotionEffectType : int64_t {
    TiltAlongHorizontalAxis = 0,
    TiltAlongVerticalAxis = 1
};

class UIInterpolatingMotionEffect : public UIMotionEffect {
public:
    BLQ_PLATFORM_CLASS(UIInterpolatingMotionEffect)

    UIInterpolatingMotionEffect(std::string keyPath, UIInterpolatingMotionEffectType type)
        : keyPath_(std::move(keyPath)), type_(type) {}

    const std::string& keyPath() const { return keyPath_; }
    UIInterpolatingMotionEffectType type() const { return type_; }
    Value minimumRelativeValue;
    Value maximumRelativeValue;

private:
    std::string keyPath_;
    UIInterpolatingMotionEffectType type_;
};

class UIMotionEffectGroup : public UIMotionEffect {
public:
    BLQ_PLATFORM_CLASS(UIMotionEffectGroup)
    std::vector<std::shared_ptr<UIMotionEffect>> motionEffects;
};

}  // namespace brindlecue::platform
