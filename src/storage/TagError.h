#pragma once

#include <string>

#include "platform/Error.h"

namespace brindlecue {

// The tag layer's error: a tag that could not be made (creationError) or a named failure
// (specificError). As a platform error its domain is "BrindlecueSDK.TagError", its code the case
// (0 or 1) and its localized description the carried text.
class TagError {
public:
    enum class Kind { creationError, specificError };

    static TagError creationError(std::string message) {
        return TagError(Kind::creationError, std::move(message));
    }
    static TagError specificError(std::string reason) {
        return TagError(Kind::specificError, std::move(reason));
    }

    static constexpr const char* kDomain = "BrindlecueSDK.TagError";

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }
    platform::Error toError() const {
        return platform::Error::withDescription(kDomain, kind_ == Kind::creationError ? 0 : 1, text_);
    }

private:
    TagError(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_;
    std::string text_;
};

}  // namespace brindlecue
