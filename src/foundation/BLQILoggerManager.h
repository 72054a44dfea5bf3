#pragma once

#include <cstdint>
#include <string>

namespace brindlecue {

// Hands each message to the loggers of the chain. Callable from the older layer, hence the raw
// level.
class BLQILoggerManager {
public:
    virtual ~BLQILoggerManager() = default;
    virtual void log(const std::string& message, int64_t level) = 0;
    // Whether a message at the level would reach any logger; a manager that cannot tell says yes.
    virtual bool wouldLog(int64_t level) const { return true; }
};

}  // namespace brindlecue
