#include "events/BLQViewEnterDeduper.h"

namespace brindlecue {

bool BLQPageEventDeduper::shouldDedupe(const BLQUserEventDTO& event,
                                       const std::optional<Records>& previousRecords) const {
    if (event.code != code_ || !event.createdDate || !previousRecords) return false;
    for (const auto& record : *previousRecords) {
        if (record && record->message == event.message && isWithinTwinWindow(event, *record)) return true;
    }
    return false;
}

std::optional<std::string> BLQPageEventDeduper::twinKey(const BLQUserEventDTO& event) const {
    // A leading mark keeps an absent name apart from every text.
    return event.message ? "m" + *event.message : std::string("-");
}

}  // namespace brindlecue
