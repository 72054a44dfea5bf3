#pragma once

#include <memory>
#include <string>

#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"

namespace brindlecue {

// Compares the tag value T with the text V (both in canonical form, case-sensitive): "eq", "neq",
// "starts_with"/"startswith", "ends_with"/"endswith", their "not_" forms, "contains" and
// "not_contains". An empty V begins, ends and is contained in every T.
class BLQStringFilterMatcher final : public BLQFilterMatcher<std::string>, public BLQIMatchable {
public:
    using BLQFilterMatcher::BLQFilterMatcher;

    // The matcher of a condition document; null when its value does not read as this matcher's.
    static std::shared_ptr<BLQStringFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;
};

}  // namespace brindlecue
