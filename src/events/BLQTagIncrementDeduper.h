#pragma once

#include "events/BLQIUserEventDeduper.h"

namespace brindlecue {

// A tag increment (8997) repeats an earlier one whose tag has the same key and value (exact
// text) created up to 1.0 s before it. An event without a tag is never a duplicate.
class BLQTagIncrementDeduper final : public BLQIUserEventDeduper {
public:
    BLQUserEventCode getCode() const override { return BLQUserEventCode::tagIncremented; }
    bool shouldDedupe(const BLQUserEventDTO& event,
                      const std::optional<Records>& previousRecords) const override;
    std::optional<std::string> twinKey(const BLQUserEventDTO& event) const override;
};

}  // namespace brindlecue
