#pragma once

#include <memory>
#include <string>

#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"

namespace brindlecue {

// Op "exists" only: V "true" passes a non-empty tag value, V "false" an empty one; any other V
// fails. A tag that is not stored never reaches a matcher.
class BLQExistsFilterMatcher final : public BLQFilterMatcher<std::string>, public BLQIMatchable {
public:
    using BLQFilterMatcher::BLQFilterMatcher;

    // The matcher of a condition document; null when its value does not read as this matcher's.
    static std::shared_ptr<BLQExistsFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;
};

}  // namespace brindlecue
