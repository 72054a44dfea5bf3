#pragma once

#include <string>

#include "platform/Value.h"

namespace brindlecue {

// One value that a guide the host adds from code carries into a campaign step: read from the
// host's step under the parameter's key and written into the step being built (a copy of a step
// template).
class BLQICustomGuideParam {
public:
    virtual ~BLQICustomGuideParam() = default;

    virtual std::string getKey() const = 0;
    // hostStep is the host's step, step the step being built (changed in place), feedTemplate the
    // template it was copied from (read only for its guide type).
    virtual void insertValue(const platform::Value& hostStep, platform::Value& step,
                             const platform::Value& feedTemplate) const = 0;
};

}  // namespace brindlecue
