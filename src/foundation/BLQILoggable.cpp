#include "foundation/BLQILoggable.h"

#include "facade/BLQFacadeLink.h"

namespace brindlecue {

void BLQILoggable::log(const std::string& message, BLQLoggingLevel level) const {
    BLQFacadeLink::logToConsoleAtLevel(rawValue(level), message);
}

bool BLQILoggable::wouldLog(BLQLoggingLevel level) const {
    return BLQFacadeLink::wouldLogAtLevel(rawValue(level));
}

void print_log(const std::string& message, int64_t level) {
    BLQFacadeLink::logToConsoleAtLevel(level, message);
}

}  // namespace brindlecue
