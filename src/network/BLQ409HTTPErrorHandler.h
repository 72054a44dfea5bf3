#pragma once

#include "foundation/BLQILoggable.h"
#include "network/BLQIHTTPErrorHandler.h"

namespace brindlecue {

// Conflicts are only logged for now.
class BLQ409HTTPErrorHandler final : public BLQIHTTPErrorHandler, public BLQILoggable {
public:
    BLQ409HTTPErrorHandler() = default;

    int getStatusCode() const override { return 409; }
    void handleHTTPErrorResponse(const platform::HTTPURLResponse& response) override;
};

}  // namespace brindlecue
