#pragma once

#include <memory>
#include <string>

#include "foundation/BLQILoggable.h"
#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"

namespace brindlecue {

// Reads the tag value and V as semantic versions and compares them by "eq", "neq", "lt", "lte",
// "gt" or "gte". A value that does not read fails with a line in the log (level 4).
class BLQVersionStringFilterMatcher final : public BLQFilterMatcher<std::string>,
                                            public BLQIMatchable,
                                            public BLQILoggable {
public:
    using BLQFilterMatcher::BLQFilterMatcher;

    // The matcher of a condition document; null when its value does not read as this matcher's.
    static std::shared_ptr<BLQVersionStringFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;
};

}  // namespace brindlecue
