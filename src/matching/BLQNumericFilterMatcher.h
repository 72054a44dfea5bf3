#pragma once

#include <memory>
#include <string>

#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"

namespace brindlecue {

// Reads the tag value as a 32-bit float (the whole text, as strtof reads it in the C locale) and
// compares it with V by "eq", "neq", "lt", "lte", "gt" or "gte". An unreadable value fails.
class BLQNumericFilterMatcher final : public BLQFilterMatcher<float>, public BLQIMatchable {
public:
    using BLQFilterMatcher::BLQFilterMatcher;
    // The whole text as a 32-bit float, without leading blanks or anything left over; none otherwise.
    static std::optional<float> readNumber(const std::string& text);

    // The matcher of a condition document; null when its value does not read as this matcher's.
    static std::shared_ptr<BLQNumericFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;
};

}  // namespace brindlecue
