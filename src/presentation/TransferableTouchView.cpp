#include "presentation/TransferableTouchView.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UITouch.h"

namespace brindlecue {

void TransferableTouchView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass(kClassName, "UIView");
        platform::ClassRegistry::addMethods(kClassName, {"touchedHandler", "setTouchedHandler:"});
    });
}

bool TransferableTouchView::pointInside(platform::CGPoint point,
                                        const std::shared_ptr<platform::UIEvent>& event) const {
    const platform::CGRect b = bounds();
    const bool inside =
        point.x >= b.minX() && point.x < b.maxX() && point.y >= b.minY() && point.y < b.maxY();
    if (!inside || !event || !touchedHandler_) return false;
    if (reportedEvent_.lock() == event) return false;
    reportedEvent_ = event;
    // A copy: the handler may replace itself.
    TouchedHandler handler = touchedHandler_;
    handler(point);
    return false;
}

}  // namespace brindlecue
