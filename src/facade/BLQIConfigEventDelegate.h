#pragma once

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue {

// Told of every configuration event the server pushes, and of every error of the channel that
// carries them.
class BLQIConfigEventDelegate {
public:
    virtual ~BLQIConfigEventDelegate() = default;
    // The whole message, a dictionary.
    virtual void onConfigUpdateSuccessWithResponse(const platform::Value& response) = 0;
    virtual void onConfigUpdateFailureWithError(const platform::Error& error) = 0;
};

}  // namespace brindlecue
