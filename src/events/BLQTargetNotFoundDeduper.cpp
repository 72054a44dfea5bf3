#include "events/BLQTargetNotFoundDeduper.h"

#include <algorithm>

#include "foundation/BLQUtils.h"
#include "foundation/StringExtensions.h"

namespace brindlecue {

using platform::Value;

namespace {

// The value with the keys of every dictionary in it in ascending order.
Value sortedKeys(const Value& value) {
    if (const platform::Dictionary* dictionary = value.getDictionary()) {
        std::vector<std::string> keys = dictionary->keys();
        std::sort(keys.begin(), keys.end());
        platform::Dictionary sorted;
        for (const auto& key : keys) sorted.set(key, sortedKeys(*dictionary->find(key)));
        return Value(std::move(sorted));
    }
    if (const platform::Array* array = value.getArray()) {
        platform::Array items;
        for (const auto& item : *array) items.push_back(sortedKeys(item));
        return Value(std::move(items));
    }
    return value;
}

}  // namespace

std::optional<std::string> BLQTargetNotFoundDeduper::comparableText(const BLQUserEventDTO& record) {
    auto dictionary = record.toDictionary();
    if (!dictionary) return std::nullopt;
    for (const char* key : {"log_id", "session", "session_id", "blq_version", "qx_version", "code"})
        dictionary->remove(key);
    return blqSerializeDicToJsonString(sortedKeys(*dictionary));
}

bool BLQTargetNotFoundDeduper::shouldDedupe(const BLQUserEventDTO& event,
                                            const std::optional<Records>& previousRecords) const {
    if (event.code != getCode() || !previousRecords) return false;
    // Only a reported error can repeat: the document's "result" holds the details (but
    // "feed_id"), so its "status" is the detail "status". Tested first, as the cheaper test.
    if (event.details["status"] != Value("error")) return false;
    auto text = comparableText(event);
    if (!text) return false;
    for (const auto& record : *previousRecords) {
        if (!record) continue;
        auto other = comparableText(*record);
        if (other && computeSimilarityPercentage(*text, *other) > kSimilarityThreshold) return true;
    }
    return false;
}

}  // namespace brindlecue
