#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class UITouch;
class UIEvent;
using UITouchSet = std::vector<std::shared_ptr<UITouch>>;

// The responder chain: views lead to their controller or superview, controllers to their view's
// superview (or their presenter), windows to the application. Touches a responder does not
// handle go on to its next responder. One responder at a time is the first responder.
class UIResponder : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIResponder)

    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Makes this the first responder (asking the current one to resign first).
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static std::shared_ptr<UIResponder> currentFirstResponder();

    virtual void touchesBegan(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesMoved(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesCancelled(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
};

}  // namespace brindlecue::platform
