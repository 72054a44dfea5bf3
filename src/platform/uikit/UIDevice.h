#pragma once

#include <memory>
#include <string>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

enum class UIDeviceOrientation {
    Unknown,
    Portrait,
    PortraitUpsideDown,
    LandscapeLeft,
    LandscapeRight,
    FaceUp,
    FaceDown
};
enum class UIInterfaceOrientation { Unknown, Portrait, PortraitUpsideDown, LandscapeLeft, LandscapeRight };

bool UIDeviceOrientationIsLandscape(UIDeviceOrientation o);
bool UIInterfaceOrientationIsLandscape(UIInterfaceOrientation o);

// The device's orientation and its change notification. Facts about the hardware and system are
// in platform/Device.h.
class UIDevice : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIDevice)

    static constexpr const char* UIDeviceOrientationDidChangeNotification =
        "UIDeviceOrientationDidChangeNotification";

    static std::shared_ptr<UIDevice> currentDevice();

    UIDeviceOrientation orientation() const { return orientation_; }
    // Driver: sets the orientation and posts the change notification (object: the device) when
    // it changed.
    void setOrientation(UIDeviceOrientation orientation);

    void beginGeneratingDeviceOrientationNotifications() { ++generating_; }
    void endGeneratingDeviceOrientationNotifications() {
        if (generating_ > 0) --generating_;
    }
    bool isGeneratingDeviceOrientationNotifications() const { return generating_ > 0; }

    std::string systemName() const;
    std::string systemVersion() const;
    std::string model() const { return "iPhone"; }

private:
    UIDeviceOrientation orientation_ = UIDeviceOrientation::Portrait;
    int generating_ = 0;
};

}  // namespace brindlecue::platform
