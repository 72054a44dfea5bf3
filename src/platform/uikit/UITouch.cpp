#include "platform/uikit/UITouch.h"

#include "platform/dispatch/Clock.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

UITouch::UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view,
                 CGPoint locationInWindow)
    : window_(window),
      view_(view),
      location_(locationInWindow),
      previous_(locationInWindow),
      timestamp_(Clock::uptime()) {}

CGPoint UITouch::locationInView(const std::shared_ptr<UIView>& view) const {
    if (!view) return location_;
    return view->convertPointFromView(location_, window_.lock());
}

CGPoint UITouch::previousLocationInView(const std::shared_ptr<UIView>& view) const {
    if (!view) return previous_;
    return view->convertPointFromView(previous_, window_.lock());
}

void UITouch::moveTo(CGPoint locationInWindow, UITouchPhase phase) {
    previous_ = location_;
    location_ = locationInWindow;
    phase_ = phase;
    timestamp_ = Clock::uptime();
}

UIEvent::UIEvent(UITouchSet touches) : touches_(std::move(touches)), timestamp_(Clock::uptime()) {}

}  // namespace brindlecue::platform
