#include "platform/uikit/UIDevice.h"

#include "platform/Device.h"
#include "platform/NotificationCenter.h"

namespace brindlecue::platform {

bool UIDeviceOrientationIsLandscape(UIDeviceOrientation o) {
    return o == UIDeviceOrientation::LandscapeLeft || o == UIDeviceOrientation::LandscapeRight;
}

bool UIInterfaceOrientationIsLandscape(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::LandscapeLeft || o == UIInterfaceOrientation::LandscapeRight;
}

std::shared_ptr<UIDevice> UIDevice::currentDevice() {
    static auto* device = new std::shared_ptr<UIDevice>(make<UIDevice>());
    return *device;
}

void UIDevice::setOrientation(UIDeviceOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    NotificationCenter::defaultCenter().post(UIDeviceOrientationDidChangeNotification, shared_from_this());
}

std::string UIDevice::systemName() const {
    return Device::systemName();
}
std::string UIDevice::systemVersion() const {
    return Device::systemVersion();
}

}  // namespace brindlecue::platform
