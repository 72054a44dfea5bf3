#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/SecTrust.h"

namespace brindlecue::platform {

// An answer to an authentication challenge: a server trust the client accepts, or a user name
// and password.
class URLCredential {
public:
    enum class Persistence { None = 0, ForSession = 1, Permanent = 2, Synchronizable = 3 };

    static std::shared_ptr<URLCredential> forTrust(std::shared_ptr<SecTrust> trust) {
        auto c = std::shared_ptr<URLCredential>(new URLCredential());
        c->trust_ = std::move(trust);
        return c;
    }
    static std::shared_ptr<URLCredential> withUser(std::string user, std::string password, Persistence persistence) {
        auto c = std::shared_ptr<URLCredential>(new URLCredential());
        c->user_ = std::move(user);
        c->password_ = std::move(password);
        c->persistence_ = persistence;
        return c;
    }

    const std::shared_ptr<SecTrust>& serverTrust() const { return trust_; }
    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    Persistence persistence() const { return persistence_; }

private:
    URLCredential() = default;
    std::shared_ptr<SecTrust> trust_;
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    Persistence persistence_ = Persistence::ForSession;
};

}  // namespace brindlecue::platform
