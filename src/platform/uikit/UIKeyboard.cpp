#include "platform/uikit/UIKeyboard.h"

#include <memory>

#include "platform/NotificationCenter.h"
#include "platform/Value.h"

namespace brindlecue::platform {
namespace {

void post(const char* will, const char* did, const CGRect& begin, const CGRect& end, double duration) {
    Notification::ObjectMap frames{
        {UIKeyboard::UIKeyboardFrameBeginUserInfoKey, std::make_shared<CGRect>(begin)},
        {UIKeyboard::UIKeyboardFrameEndUserInfoKey, std::make_shared<CGRect>(end)}};
    Value info = Value::dictionary({{UIKeyboard::UIKeyboardAnimationDurationUserInfoKey, duration}});
    auto& center = NotificationCenter::defaultCenter();
    center.post(will, nullptr, info, frames);
    center.post(did, nullptr, info, frames);
}

}  // namespace

void UIKeyboard::show(const CGRect& begin, const CGRect& end, double duration) {
    post(UIKeyboardWillShowNotification, UIKeyboardDidShowNotification, begin, end, duration);
}

void UIKeyboard::hide(const CGRect& begin, const CGRect& end, double duration) {
    post(UIKeyboardWillHideNotification, UIKeyboardDidHideNotification, begin, end, duration);
}

}  // namespace brindlecue::platform
