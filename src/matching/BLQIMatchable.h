#pragma once

#include <string>

#include "storage/BLQTagDTO.h"

namespace brindlecue {

// One tag condition of a campaign. A matcher is used by one caller at a time.
class BLQIMatchable {
public:
    virtual ~BLQIMatchable() = default;
    // True when the tag's value satisfies the condition (the tag's key is not compared); never an
    // error: a value that cannot be read fails.
    virtual bool performMatch(const BLQTagDTO& tag) = 0;
    // The key of the tag the condition tests.
    virtual std::string getTagKey() const = 0;
};

}  // namespace brindlecue
