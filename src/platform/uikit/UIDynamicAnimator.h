#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class UIView;

// UIKit dynamics are recorded, not simulated: an animator keeps the behaviours added to it and
// never runs, so views stay where code put them. Main thread.
class UIDynamicBehavior : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIDynamicBehavior)
    // The items the behaviour acts on (held weakly, as the platform's dynamic items are not owned).
    std::vector<std::shared_ptr<UIView>> items() const;

protected:
    std::vector<std::weak_ptr<UIView>> items_;
};

// Pulls an item to a point.
class UISnapBehavior : public UIDynamicBehavior {
public:
    BLQ_PLATFORM_CLASS(UISnapBehavior)
    UISnapBehavior(const std::shared_ptr<UIView>& item, CGPoint snapToPoint);
    CGPoint snapPoint() const { return snapPoint_; }
    double damping = 0.5;

private:
    CGPoint snapPoint_;
};

// Ties an item to an anchor point.
class UIAttachmentBehavior : public UIDynamicBehavior {
public:
    BLQ_PLATFORM_CLASS(UIAttachmentBehavior)
    UIAttachmentBehavior(const std::shared_ptr<UIView>& item, CGPoint anchorPoint);
    CGPoint anchorPoint() const { return anchorPoint_; }
    double length = 0;
    double damping = 0;
    double frequency = 0;

private:
    CGPoint anchorPoint_;
};

class UIGravityBehavior : public UIDynamicBehavior {
public:
    BLQ_PLATFORM_CLASS(UIGravityBehavior)
    explicit UIGravityBehavior(const std::vector<std::shared_ptr<UIView>>& items);
    // dx, dy in the platform's units (1.0 is 1000 points per second squared).
    CGPoint gravityDirection{0, 1};
};

class UIDynamicItemBehavior : public UIDynamicBehavior {
public:
    BLQ_PLATFORM_CLASS(UIDynamicItemBehavior)
    explicit UIDynamicItemBehavior(const std::vector<std::shared_ptr<UIView>>& items);
    void addAngularVelocity(double velocity, const std::shared_ptr<UIView>& item);
    double angularVelocityForItem(const std::shared_ptr<UIView>& item) const;

private:
    std::map<const UIView*, double> angularVelocity_;
};

class UIDynamicAnimator : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIDynamicAnimator)
    explicit UIDynamicAnimator(const std::shared_ptr<UIView>& referenceView)
        : referenceView_(referenceView) {}

    std::shared_ptr<UIView> referenceView() const { return referenceView_.lock(); }
    const std::vector<std::shared_ptr<UIDynamicBehavior>>& behaviors() const { return behaviors_; }
    void addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    void removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    void removeAllBehaviors() { behaviors_.clear(); }
    // Nothing is simulated, so the animator is never running.
    bool isRunning() const { return false; }

private:
    std::weak_ptr<UIView> referenceView_;
    std::vector<std::shared_ptr<UIDynamicBehavior>> behaviors_;
};

}  // namespace brindlecue::platform
