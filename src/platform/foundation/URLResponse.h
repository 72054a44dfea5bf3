#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"

namespace brindlecue::platform {

// What a load answered, independent of the protocol. Held by shared pointer; an HTTP answer is
// an HTTPURLResponse (dynamic_pointer_cast to tell).
class URLResponse {
public:
    static constexpr int64_t kUnknownLength = -1;

    URLResponse(std::optional<URL> url, std::optional<std::string> mimeType, int64_t expectedContentLength,
                std::optional<std::string> textEncodingName)
        : url_(std::move(url)),
          mimeType_(std::move(mimeType)),
          expectedContentLength_(expectedContentLength),
          textEncodingName_(std::move(textEncodingName)) {}
    virtual ~URLResponse() = default;

    // The final URL, after redirections.
    const std::optional<URL>& url() const { return url_; }
    // Lower case, without parameters ("application/json"); none when the answer named none.
    const std::optional<std::string>& mimeType() const { return mimeType_; }
    // The announced body length, or kUnknownLength.
    int64_t expectedContentLength() const { return expectedContentLength_; }
    // The "charset" parameter of the content type, lower case.
    const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }

    virtual std::string description() const;

private:
    std::optional<URL> url_;
    std::optional<std::string> mimeType_;
    int64_t expectedContentLength_;
    std::optional<std::string> textEncodingName_;
};

}  // namespace brindlecue::platform
