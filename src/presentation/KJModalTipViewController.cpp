#include "presentation/KJModalTipViewController.h"

#include <mutex>

#include "feed/KJTipElement.h"
#include "foundation/KJLog.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

using platform::CGRect;

namespace {
constexpr double kMinimumSide = 10;
}  // namespace

void KJModalTipViewController::didConstruct() {
    KJBaseTipViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJModalTipViewController", "KJBaseTipViewController");
    });
}

bool KJModalTipViewController::displayUI(const CGRect& coverBounds) {
    if (!tip()) return false;
    CGRect frame = layoutView(coverBounds, true);
    if (frame.width() < kMinimumSide || frame.height() < kMinimumSide) {
        KJLog(1, "Invalid size %@", platform::NSStringFromCGRect(frame));
        return false;
    }
    const KJTipElement& step = *tip();
    const double B = step.borderWidth;
    const platform::CGSize content{frame.width() - step.padding.left - step.padding.right - 2 * B,
                                   frame.height() - step.padding.top - step.padding.bottom - 2 * B};
    const platform::CGPoint origin = handleContainerMargin(frame.origin, coverBounds, frame);
    view()->setFrame(CGRect(origin.x, origin.y, frame.width(), frame.height()));
    return layoutRegularViews(content);
}

}  // namespace brindlecue
