#pragma once

#include <memory>
#include <optional>
#include <string>

#include "matching/BLQFilterMatcher.h"
#include "matching/BLQIMatchable.h"
#include "platform/Date.h"

namespace brindlecue {

// Compares the tag value, read as a date, with a reference date: the moment the matcher was made
// moved by V, an ISO-8601 duration ("P30D"), backwards when V begins with "-". Ops "lt", "lte",
// "gt" and "gte"; any other op, an unreadable tag value or duration fails.
//
// The first test takes a leading "-" off the value and sets isNegativeDuration for good, so the
// matcher is not shared between threads.
class BLQDurationFilterMatcher final : public BLQFilterMatcher<std::string>, public BLQIMatchable {
public:
    BLQDurationFilterMatcher(std::string type, std::string op, std::string value, std::string tag,
                             std::optional<std::string> units = std::nullopt,
                             std::optional<std::string> timing = std::nullopt);

    // The matcher of a condition document.
    static std::shared_ptr<BLQDurationFilterMatcher> fromDocument(const BLQConditionDocument& document);

    std::string getTagKey() const override { return tag; }
    bool performMatch(const BLQTagDTO& tag) override;

    // Now, when the matcher was made.
    platform::Date currentDate;
    bool isNegativeDuration = false;

private:
    std::optional<platform::Date> referenceDate() const;
};

}  // namespace brindlecue
