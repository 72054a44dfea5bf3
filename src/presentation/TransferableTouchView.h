#pragma once

#include <functional>
#include <memory>

#include "platform/uikit/UIView.h"

namespace brindlecue {

// A transparent view that hears where the user touches inside it and never keeps the touch: its
// hit test always answers no, so every touch goes on to the views below, as if it were not there.
// The tip layer lays one over a tip's target (its target overlay) to learn that the target was
// touched. Known to the older layer as "BLQTransferableTouchView".
//
// Hit testing may ask about one touch several times; the handler hears each touch once (the
// first question that carries the touch's event). A question without an event is no touch and
// reports nothing. Main thread.
class TransferableTouchView : public platform::UIView {
public:
    // Told the point, in the view's coordinates.
    using TouchedHandler = std::function<void(platform::CGPoint point)>;

    static constexpr const char* kClassName = "BLQTransferableTouchView";

    TransferableTouchView() = default;
    explicit TransferableTouchView(const platform::CGRect& frame) : UIView(frame) {}
    void didConstruct() override;
    std::string className() const override { return kClassName; }

    const TouchedHandler& touchedHandler() const { return touchedHandler_; }
    // The previous handler is released.
    void setTouchedHandler(TouchedHandler handler) { touchedHandler_ = std::move(handler); }

    // A point inside the bounds (left and top edges in, right and bottom out) of a touch not yet
    // reported calls the handler; the answer is false in every case.
    bool pointInside(platform::CGPoint point, const std::shared_ptr<platform::UIEvent>& event) const override;

private:
    TouchedHandler touchedHandler_;
    // The event of the touch last reported.
    mutable std::weak_ptr<platform::UIEvent> reportedEvent_;
};

}  // namespace brindlecue
