#include "events/BLQTagIncrementDeduper.h"

#include "storage/BLQTagDTO.h"

namespace brindlecue {

bool BLQTagIncrementDeduper::shouldDedupe(const BLQUserEventDTO& event,
                                          const std::optional<Records>& previousRecords) const {
    if (event.code != getCode() || !event.tag || !event.createdDate || !previousRecords) return false;
    for (const auto& record : *previousRecords) {
        if (!record || !record->tag) continue;
        if (record->tag->key != event.tag->key || record->tag->value != event.tag->value) continue;
        if (isWithinTwinWindow(event, *record)) return true;
    }
    return false;
}

std::optional<std::string> BLQTagIncrementDeduper::twinKey(const BLQUserEventDTO& event) const {
    if (!event.tag) return std::string("-");
    // The key's length first: no key and value can be read as another pair.
    return std::to_string(event.tag->key.size()) + ":" + event.tag->key + event.tag->value;
}

}  // namespace brindlecue
