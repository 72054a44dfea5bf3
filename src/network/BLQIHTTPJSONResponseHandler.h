#pragma once

#include <functional>
#include <string>

#include "foundation/BLQILoggable.h"
#include "network/BLQIHTTPManager.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

// The two callbacks of every newer-layer request: success with the answer's JSON object and
// URL, failure with an error (a BLQHTTPRequestError as platform::Error).
using BLQRequestSuccessBlock = std::function<void(const platform::Value& json, const platform::URL& url)>;
using BLQRequestFailureBlock = std::function<void(const platform::Error& error)>;

// The answer handling that every HTTP requester shares: it turns the client's result into exactly
// one of the two callbacks, on the thread it is called on.
class BLQIHTTPJSONResponseHandler : public BLQILoggable {
public:
    // Failures of the client become networkRequestFailed; a status outside 200 to 299 or an answer
    // that is not an HTTP response becomes unknownError; a body that is not JSON becomes
    // failedToParseResponse. Any other answer succeeds with its JSON object (an empty object for an
    // empty body or a JSON value that is not an object) and the response's URL (else the request's).
    void handleExpectedJSONResponse(const BLQHTTPResult& result, const std::string& errorMessagePrefix,
                                    const platform::URL& requestUrl, const BLQRequestSuccessBlock& success,
                                    const BLQRequestFailureBlock& failure) const;
};

}  // namespace brindlecue
