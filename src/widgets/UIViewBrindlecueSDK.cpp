#include "widgets/UIViewBrindlecueSDK.h"

#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

bool isDisplayedInScreen(const platform::UIView& view) {
    platform::CGRect frame = view.frame();
    if (frame.isEmpty() || frame.isNull()) return false;
    if (view.isHidden()) return false;
    if (!view.superview()) return false;
    if (frame.size == platform::CGSize{}) return false;
    platform::CGRect onScreen = frame.intersection(platform::UIScreen::mainScreen()->bounds());
    if (onScreen.isEmpty() || onScreen.isNull()) return false;
    if (view.alpha() == 0) return false;
    return !ancestorHasAlphaZero(view);
}

bool ancestorHasAlphaZero(const platform::UIView& view) {
    for (auto current = view.superview(); current;) {
        if (current->alpha() == 0) return true;
        current = current->superview();
        if (current && current->className() == "RCTRootContentView") return false;
    }
    return false;
}

}  // namespace brindlecue
