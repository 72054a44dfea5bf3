#include "facade/KJInterceptor.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using namespace platform;

void KJInterceptor::didConstruct() {
    NSObject::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJInterceptor", "NSObject"); });
}

void KJInterceptor::setFirstResponder(const std::shared_ptr<NSObject>& responder) {
    if (responder.get() == this) return;
    firstResponder_ = responder;
}

void KJInterceptor::setSecondResponder(const std::shared_ptr<NSObject>& responder) {
    if (responder.get() == this) return;
    if (responder && responder == firstResponder()) return;
    secondResponder_ = responder;
}

bool KJInterceptor::respondsToSelector(std::string_view selector) const {
    if (auto first = firstResponder(); first && first->respondsToSelector(selector)) return true;
    if (auto second = secondResponder(); second && second->respondsToSelector(selector)) return true;
    return NSObject::respondsToSelector(selector);
}

std::shared_ptr<NSObject> KJInterceptor::forwardingTargetForSelector(std::string_view selector) const {
    if (auto first = firstResponder(); first && first->respondsToSelector(selector)) return first;
    if (auto second = secondResponder(); second && second->respondsToSelector(selector)) return second;
    return nullptr;
}

void KJInterceptor::alertViewClickedButtonAtIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:clickedButtonAtIndex:"))
        t->alertViewClickedButtonAtIndex(alertView, buttonIndex);
}

void KJInterceptor::alertViewWillPresent(UIAlertView& alertView) {
    if (auto t = target<UIAlertViewDelegate>("willPresentAlertView:")) t->alertViewWillPresent(alertView);
}

void KJInterceptor::alertViewDidPresent(UIAlertView& alertView) {
    if (auto t = target<UIAlertViewDelegate>("didPresentAlertView:")) t->alertViewDidPresent(alertView);
}

void KJInterceptor::alertViewWillDismissWithButtonIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:willDismissWithButtonIndex:"))
        t->alertViewWillDismissWithButtonIndex(alertView, buttonIndex);
}

void KJInterceptor::alertViewDidDismissWithButtonIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:didDismissWithButtonIndex:"))
        t->alertViewDidDismissWithButtonIndex(alertView, buttonIndex);
}

void KJInterceptor::actionSheetClickedButtonAtIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:clickedButtonAtIndex:"))
        t->actionSheetClickedButtonAtIndex(actionSheet, buttonIndex);
}

void KJInterceptor::actionSheetWillDismissWithButtonIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:willDismissWithButtonIndex:"))
        t->actionSheetWillDismissWithButtonIndex(actionSheet, buttonIndex);
}

void KJInterceptor::actionSheetDidDismissWithButtonIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:didDismissWithButtonIndex:"))
        t->actionSheetDidDismissWithButtonIndex(actionSheet, buttonIndex);
}

}  // namespace brindlecue
