#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "matching/BLQIMatchable.h"
#include "platform/Value.h"

namespace brindlecue {

class KJFeedConditions;

// Turns tag conditions into matchers by their type word (exact, case-sensitive):
//   "tag_numeric", "numeric"                                  numeric (the value must read as a float)
//   "tag_string", "string", "tag_operating_system",
//   "operating_system"                                        string; version for the tags
//                                                             "kj_client_version", "qx_version"
//                                                             and "blq_version"
//   "tag_datetime", "datetime"                                date-time (the value must read as a date)
//   "tag_exists", "exists"                                    exists
//   "boolean"                                                 exists, with value "true" under op
//                                                             "exists"
//   "tag_timediff", "timediff", "multistep", "installed",
//   "timedelta"                                               duration
//   "tag_version", "version"                                  version
// Any other word gives no matcher. Op words are not checked here. Stateless.
class BLQMatchableFactory {
public:
    // The decoding form of a JSON object; none when the text is no such object.
    static std::shared_ptr<BLQIMatchable> createFromJSON(std::string_view json);
    // The dictionary form.
    static std::shared_ptr<BLQIMatchable> createFromDictionary(const platform::Value& dictionary);
    // One matcher per condition record that gives one, in order; the others are left out.
    static std::vector<std::shared_ptr<BLQIMatchable>> createFromFeedConditions(
        const std::vector<std::shared_ptr<KJFeedConditions>>& feedConditions);
    // Units and timing are accepted and not used.
    static std::shared_ptr<BLQIMatchable> create(const std::string& type, const std::string& op,
                                                 const std::string& value, const std::string& tag,
                                                 const std::optional<std::string>& units = std::nullopt,
                                                 const std::optional<std::string>& timing = std::nullopt);
};

}  // namespace brindlecue
