#pragma once

#include <memory>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

// The device's screen. The default is a 375 by 812 point portrait screen at scale 3; hosts and
// tests may set other values.
class UIScreen : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIScreen)

    static std::shared_ptr<UIScreen> mainScreen();

    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds) { bounds_ = bounds; }
    double scale() const { return scale_; }
    void setScale(double scale) { scale_ = scale; }
    CGRect nativeBounds() const;

private:
    CGRect bounds_{0, 0, 375, 812};
    double scale_ = 3;
};

}  // namespace brindlecue::platform
