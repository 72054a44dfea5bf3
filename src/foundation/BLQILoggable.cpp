#include "foundation/BLQILoggable.h"

#include "foundation/BLQLogRoute.h"

namespace brindlecue {

void BLQILoggable::log(const std::string& message, BLQLoggingLevel level) const {
    BLQLogRoute::logToConsoleAtLevel(rawValue(level), message);
}

bool BLQILoggable::wouldLog(BLQLoggingLevel level) const {
    return BLQLogRoute::wouldLogAtLevel(rawValue(level));
}

void print_log(const std::string& message, int64_t level) {
    BLQLogRoute::logToConsoleAtLevel(level, message);
}

}  // namespace brindlecue
