#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/TargetAction.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

enum UIControlEvents : uint64_t {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchDownRepeat = 1 << 1,
    UIControlEventTouchDragInside = 1 << 2,
    UIControlEventTouchDragOutside = 1 << 3,
    UIControlEventTouchDragEnter = 1 << 4,
    UIControlEventTouchDragExit = 1 << 5,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventTouchUpOutside = 1 << 7,
    UIControlEventTouchCancel = 1 << 8,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventPrimaryActionTriggered = 1 << 13,
    UIControlEventEditingDidBegin = 1 << 16,
    UIControlEventEditingChanged = 1 << 17,
    UIControlEventEditingDidEnd = 1 << 18,
    UIControlEventEditingDidEndOnExit = 1 << 19,
    UIControlEventAllTouchEvents = 0x00000FFF,
    UIControlEventAllEditingEvents = 0x000F0000,
    UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlState : uint64_t {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
    UIControlStateFocused = 1 << 3,
    UIControlStateApplication = 0x00FF0000,
    UIControlStateReserved = 0xFF000000,
};

// A control: target-action by event mask, and the enabled, selected and highlighted flags.
// A touch that begins on an enabled control highlights it and sends touch-down; lifting it
// inside sends touch-up-inside (and primary-action-triggered), outside touch-up-outside.
class UIControl : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIControl)
    using UIView::UIView;

    void addTarget(const std::shared_ptr<NSObject>& target, Selector action, uint64_t events);
    // A null target stands for every target, an empty action name for every action.
    void removeTarget(const std::shared_ptr<NSObject>& target, const std::string& actionName,
                      uint64_t events);
    std::vector<std::shared_ptr<NSObject>> allTargets() const { return actions_.allTargets(); }
    std::vector<std::string> actionsForTarget(const std::shared_ptr<NSObject>& target, uint64_t event) const {
        return actions_.actionsForTarget(target, event);
    }
    uint64_t allControlEvents() const { return actions_.allEvents(); }
    void sendActionsForControlEvents(uint64_t events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    bool isTracking() const { return tracking_; }
    uint64_t state() const;

    void touchesBegan(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMoved(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelled(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

protected:
    // A completed tap inside the control (after touch-up-inside was sent); switches, steppers
    // and segmented controls change their value here.
    virtual void didTapInside(CGPoint location) {}

private:
    TargetActionList actions_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
};

}  // namespace brindlecue::platform
