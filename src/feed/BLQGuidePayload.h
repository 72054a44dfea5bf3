#pragma once

#include <memory>

namespace brindlecue {

class KJTipElement;

// What a host-registered custom guide block receives: the step to show.
class BLQIGuidePayload {
public:
    virtual ~BLQIGuidePayload() = default;
    virtual std::shared_ptr<KJTipElement> guide() const = 0;
};

class BLQGuidePayload final : public BLQIGuidePayload {
public:
    explicit BLQGuidePayload(std::shared_ptr<KJTipElement> guide) : guide_(std::move(guide)) {}
    std::shared_ptr<KJTipElement> guide() const override { return guide_; }

private:
    const std::shared_ptr<KJTipElement> guide_;
};

}  // namespace brindlecue
