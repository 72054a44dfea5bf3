#pragma once

#include "platform/foundation/HTTPURLResponse.h"

namespace brindlecue {

// Reacts to error answers of one HTTP status.
class BLQIHTTPErrorHandler {
public:
    virtual ~BLQIHTTPErrorHandler() = default;
    virtual int getStatusCode() const = 0;
    virtual void handleHTTPErrorResponse(const platform::HTTPURLResponse& response) = 0;
};

}  // namespace brindlecue
