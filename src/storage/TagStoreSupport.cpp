#include "storage/TagStoreSupport.h"

#include <charconv>
#include <variant>

#include "storage/TagError.h"

namespace brindlecue::tagstore {

std::optional<int64_t> strictInteger(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // from_chars takes a "-" but not a "+"; one sign at most.
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-') return std::nullopt;
    }
    if (begin == end) return std::nullopt;
    int64_t out = 0;
    auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return out;
}

platform::Error valueWithoutText(const std::string& key) {
    return TagError::creationError("The value for tag key " + key + " has no text form; nothing was stored")
        .toError();
}

BLQITagDataStore::Completion multiSaveCompletion(std::shared_ptr<const BLQILoggable> logger,
                                                 std::shared_ptr<BLQTagDTO> record) {
    return [logger = std::move(logger), record = std::move(record)](const BLQITagDataStore::Result& result) {
        if (const auto* saved = std::get_if<std::shared_ptr<BLQTagDTO>>(&result); saved && *saved) {
            logger->log("Tag: Multi-save - Saved tag, key: " + (*saved)->key + "m value: " + (*saved)->value,
                        BLQLoggingLevel::info);
        } else if (const auto* error = std::get_if<platform::Error>(&result)) {
            logger->log("Tag: Multi-save - Failed to save tag, key: " + record->key +
                            "m value: " + record->value + ", error: " + error->localizedDescription(),
                        BLQLoggingLevel::info);
        }
    };
}

}  // namespace brindlecue::tagstore
