#include "preview/PreviewModeHostingController.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue {

namespace {

// After the hosting classes themselves, which the first host enters.
void registerClasses() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass(PreviewModePanelView::kClassName, "_UIHostingView");
        platform::ClassRegistry::registerClass(PreviewModeHostingController::kClassName,
                                               "UIHostingController");
    });
}

}  // namespace

PreviewModePanelView::PreviewModePanelView(const platform::CGRect& frame, PreviewModeView overlay)
    : UIHostingView(frame, [overlay] { return overlay.body(); }), overlay_(std::move(overlay)) {
    registerClasses();
}

void PreviewModePanelView::didMoveToWindow() {
    UIHostingView::didMoveToWindow();
    if (window())
        overlay_.appear();
    else
        overlay_.disappear();
}

PreviewModeHostingController::PreviewModeHostingController(PreviewModeView overlay)
    : UIHostingController([overlay] { return overlay.body(); }), overlay_(std::move(overlay)) {
    registerClasses();
}

void PreviewModeHostingController::loadView() {
    setView(platform::make<PreviewModePanelView>(platform::UIScreen::mainScreen()->bounds(), overlay_));
}

}  // namespace brindlecue
