#pragma once

#include <memory>
#include <string>

#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"
#include "platform/Date.h"

namespace brindlecue {

// Reads the tag value as a date (a Unix time stamp, ISO-8601 with or without fractions or zone,
// "yyyy-MM-dd" or the US form) and compares its instant with V by "eq", "neq", "lt", "lte", "gt"
// or "gte". An unreadable value fails.
class BLQDateTimeFilterMatcher final : public BLQFilterMatcher<platform::Date>, public BLQIMatchable {
public:
    using BLQFilterMatcher::BLQFilterMatcher;

    // The matcher of a condition document; null when its value does not read as this matcher's.
    static std::shared_ptr<BLQDateTimeFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;
};

}  // namespace brindlecue
