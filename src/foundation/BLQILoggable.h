#pragma once

#include <cstdint>
#include <string>

#include "foundation/BLQLoggingLevel.h"

namespace brindlecue {

// Adopted by the components of the newer layer. The default implementation hands the message to
// the facade's logger manager (through BLQLogRoute); it never fails and returns nothing.
class BLQILoggable {
public:
    virtual ~BLQILoggable() = default;
    virtual void log(const std::string& message, BLQLoggingLevel level) const;
    // Whether log at the level would reach a logger now: a message that is costly to make (one
    // that renders a whole answer) is made only then.
    bool wouldLog(BLQLoggingLevel level) const;
};

// The older layer's entry into the same chain.
void print_log(const std::string& message, int64_t level);

}  // namespace brindlecue
