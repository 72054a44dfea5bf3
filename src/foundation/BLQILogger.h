#pragma once

#include <string>

#include "foundation/BLQLoggingLevel.h"

namespace brindlecue {

// One sink of the logging chain.
class BLQILogger {
public:
    virtual ~BLQILogger() = default;
    virtual void printLog(const std::string& message, BLQLoggingLevel level) = 0;
};

}  // namespace brindlecue
