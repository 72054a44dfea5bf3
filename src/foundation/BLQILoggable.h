#pragma once

#include <cstdint>
#include <string>

#include "foundation/BLQLoggingLevel.h"

namespace brindlecue {

// Adopted by the components of the newer layer. The default implementation hands the message to
// the facade's logger manager (through BLQFacadeLink); it never fails and returns nothing.
class BLQILoggable {
public:
    virtual ~BLQILoggable() = default;
    virtual void log(const std::string& message, BLQLoggingLevel level) const;
};

// The older layer's entry into the same chain.
void print_log(const std::string& message, int64_t level);

}  // namespace brindlecue
