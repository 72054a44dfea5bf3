#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue {

// The outcome of one request of the HTTP client: success with the answer's bytes and URL
// response, or failure with an error.
class BLQHTTPResult {
public:
    static BLQHTTPResult success(platform::Data data, std::shared_ptr<platform::URLResponse> response) {
        return BLQHTTPResult(std::move(data), std::move(response));
    }
    static BLQHTTPResult failure(platform::Error error) { return BLQHTTPResult(std::move(error)); }

    bool isSuccess() const { return !error_; }
    // Success only.
    const platform::Data& data() const { return data_; }
    const std::shared_ptr<platform::URLResponse>& response() const { return response_; }
    // Failure only.
    const platform::Error& error() const { return *error_; }

private:
    BLQHTTPResult(platform::Data data, std::shared_ptr<platform::URLResponse> response)
        : data_(std::move(data)), response_(std::move(response)) {}
    explicit BLQHTTPResult(platform::Error error) : error_(std::move(error)) {}

    platform::Data data_;
    std::shared_ptr<platform::URLResponse> response_;
    std::optional<platform::Error> error_;
};

// The newer layer's HTTP client. Every operation returns at once; its completion runs exactly
// once, later, on the client's session queue (never the main queue). Bodies are ready bytes; the
// client neither encodes nor decodes them.
class BLQIHTTPManager {
public:
    using Completion = std::function<void(const BLQHTTPResult&)>;

    virtual ~BLQIHTTPManager() = default;

    virtual void delete_(const platform::URL& url, Completion completion) = 0;
    virtual void get(const platform::URL& url, Completion completion) = 0;
    virtual void patch(const platform::URL& url, const platform::Data& data, Completion completion) = 0;
    virtual void post(const platform::URL& url, const platform::Data& data, Completion completion) = 0;
};

}  // namespace brindlecue
