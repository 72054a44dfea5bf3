#include "events/BLQIUserEventDeduper.h"

namespace brindlecue {

bool BLQIUserEventDeduper::isWithinTwinWindow(const BLQUserEventDTO& event, const BLQUserEventDTO& record) {
    if (!event.createdDate || !record.createdDate) return false;
    double difference =
        event.createdDate->timeIntervalSince1970() - record.createdDate->timeIntervalSince1970();
    return difference >= 0 && difference <= kTwinWindow;
}

}  // namespace brindlecue
