#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// The platform's error value: a domain, a code, a user-info dictionary and an optional
// underlying error.
class Error {
public:
    static constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";
    static constexpr const char* kLocalizedFailureReasonKey = "NSLocalizedFailureReason";
    static constexpr const char* kUnderlyingErrorKey = "NSUnderlyingError";

    Error() = default;
    Error(std::string domain, int64_t code, Value userInfo = Value(),
          std::shared_ptr<const Error> underlying = nullptr);
    // Shorthand for an error whose user info holds only a localized description.
    static Error withDescription(std::string domain, int64_t code, const std::string& description);

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    // Always a dictionary (possibly empty).
    const Value& userInfo() const { return userInfo_; }
    const std::shared_ptr<const Error>& underlyingError() const { return underlying_; }

    // The user info's localized description, else the platform's generic text
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    // "Error Domain=<domain> Code=<code> \"<description>\" UserInfo={...}"
    std::string description() const;

    bool operator==(const Error& o) const { return domain_ == o.domain_ && code_ == o.code_; }

private:
    std::string domain_;
    int64_t code_ = 0;
    Value userInfo_ = Value::dictionary();
    std::shared_ptr<const Error> underlying_;
};

}  // namespace brindlecue::platform
