#include "network/BLQ409HTTPErrorHandler.h"

namespace brindlecue {

void BLQ409HTTPErrorHandler::handleHTTPErrorResponse(const platform::HTTPURLResponse&) {
    log("Networking: not yet handling 409 errors, still work-in-progress", BLQLoggingLevel::info);
}

}  // namespace brindlecue
