#include "platform/uikit/UIScreen.h"

namespace brindlecue::platform {

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    static auto* screen = new std::shared_ptr<UIScreen>(make<UIScreen>());
    return *screen;
}

CGRect UIScreen::nativeBounds() const {
    return CGRect(0, 0, bounds_.size.width * scale_, bounds_.size.height * scale_);
}

}  // namespace brindlecue::platform
