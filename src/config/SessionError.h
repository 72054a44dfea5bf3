#pragma once

#include <string>
#include <utility>

#include "platform/Error.h"

namespace brindlecue {

// The error the session store raises when it cannot create a session. Its message is the text
// the store also logs.
class SessionError {
public:
    static constexpr const char* kDomain = "BrindlecueSDK.SessionError";

    static SessionError creationError(std::string message) { return SessionError(std::move(message)); }

    const std::string& message() const { return message_; }
    std::string description() const { return "creationError(message: \"" + message_ + "\")"; }
    // The platform error it becomes for the older layer: the domain above, code 0, and the
    // platform's generic description rather than the message.
    platform::Error toError() const { return platform::Error(kDomain, 0); }

private:
    explicit SessionError(std::string message) : message_(std::move(message)) {}
    std::string message_;
};

}  // namespace brindlecue
