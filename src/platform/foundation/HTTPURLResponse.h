#pragma once

#include <string>
#include <string_view>

#include "platform/Value.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

// An HTTP answer: status and header fields. MIME type, text encoding and expected length come
// from the "Content-Type" and "Content-Length" fields. Repeated fields are joined with ", ".
class HTTPURLResponse final : public URLResponse {
public:
    HTTPURLResponse(URL url, int statusCode, const HTTPHeaderFields& headerFields);

    int statusCode() const { return statusCode_; }
    // Names as the server sent them.
    const HTTPHeaderFields& headerFields() const { return fields_; }
    // The fields as a dictionary from name to value text.
    Value allHeaderFields() const;
    // Looked up without regard to letter case.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;

    // The platform's short text for a status code ("not found", "internal server error").
    static std::string localizedStringForStatusCode(int statusCode);

    std::string description() const override;

private:
    int statusCode_;
    HTTPHeaderFields fields_;
};

}  // namespace brindlecue::platform
