#pragma once

#include <memory>

#include "platform/swiftui/UIHostingController.h"
#include "preview/PreviewModeView.h"

namespace brindlecue {

// The view of the preview panel: hosts the overlay view, which appears whenever the panel goes
// into a window and disappears when it leaves it. Its class name names the overlay view, so that
// targeting and screenshots can tell the library's panel from the host's views.
class PreviewModePanelView final : public platform::swiftui::UIHostingView {
public:
    static constexpr const char* kClassName = "_UIHostingView<PreviewModeView>";

    PreviewModePanelView(const platform::CGRect& frame, PreviewModeView overlay);
    std::string className() const override { return kClassName; }
    void didMoveToWindow() override;

    const PreviewModeView& overlay() const { return overlay_; }

private:
    PreviewModeView overlay_;
};

// The hosting controller of the preview panel.
class PreviewModeHostingController final : public platform::swiftui::UIHostingController {
public:
    static constexpr const char* kClassName = "UIHostingController<PreviewModeView>";

    explicit PreviewModeHostingController(PreviewModeView overlay);
    std::string className() const override { return kClassName; }
    void loadView() override;

    std::shared_ptr<PreviewModePanelView> panelView() {
        return std::static_pointer_cast<PreviewModePanelView>(view());
    }

private:
    PreviewModeView overlay_;
};

}  // namespace brindlecue
