#pragma once

#include <string>

#include "foundation/BLQLoggingLevel.h"

namespace brindlecue {

// One sink of the logging chain.
class BLQILogger {
public:
    virtual ~BLQILogger() = default;
    virtual void printLog(const std::string& message, BLQLoggingLevel level) = 0;
    // Whether a message at the level would be written now; a caller may then skip making a
    // costly one. A logger that cannot tell says yes.
    virtual bool wouldLog(BLQLoggingLevel level) const { return true; }
};

}  // namespace brindlecue
