#pragma once

#include "platform/uikit/Geometry.h"

namespace brindlecue::platform {

// The keyboard's notifications. The system posts them on the main thread, with no object; the
// keyboard's frames before and after the change (screen coordinates) travel among the
// notification's objects as std::shared_ptr<CGRect> under the frame keys, the duration of the
// keyboard's animation (seconds) in the user info under the duration key.
struct UIKeyboard {
    static constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
    static constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
    static constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
    static constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
    static constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
    static constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
    static constexpr const char* UIKeyboardAnimationDurationUserInfoKey =
        "UIKeyboardAnimationDurationUserInfoKey";

    // Driver (main thread): the keyboard moves from one frame to the other; posts the will- and
    // then the did- notification of showing or hiding.
    static void show(const CGRect& begin, const CGRect& end, double duration);
    static void hide(const CGRect& begin, const CGRect& end, double duration);

    UIKeyboard() = delete;
};

}  // namespace brindlecue::platform
