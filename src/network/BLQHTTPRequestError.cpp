#include "network/BLQHTTPRequestError.h"

#include <memory>

namespace brindlecue {

BLQHTTPRequestError BLQHTTPRequestError::networkRequestFailed(platform::Error underlying) {
    BLQHTTPRequestError error(Kind::networkRequestFailed, "");
    error.underlying_ = std::move(underlying);
    return error;
}

std::string BLQHTTPRequestError::errorDescription() const {
    if (underlying_) return underlying_->localizedDescription();
    return message_;
}

platform::Error BLQHTTPRequestError::toError() const {
    auto userInfo =
        platform::Value::dictionary({{platform::Error::kLocalizedDescriptionKey, errorDescription()}});
    std::shared_ptr<const platform::Error> underlying;
    if (underlying_) underlying = std::make_shared<const platform::Error>(*underlying_);
    return platform::Error(kDomain, static_cast<int64_t>(kind_), std::move(userInfo), std::move(underlying));
}

std::optional<BLQHTTPRequestError> BLQHTTPRequestError::fromError(const platform::Error& error) {
    if (error.domain() != kDomain) return std::nullopt;
    if (error.code() < 0 || error.code() > static_cast<int64_t>(Kind::unknownError)) return std::nullopt;
    auto kind = static_cast<Kind>(error.code());
    if (kind == Kind::networkRequestFailed) {
        if (!error.underlyingError()) return std::nullopt;
        return networkRequestFailed(*error.underlyingError());
    }
    return BLQHTTPRequestError(kind, error.localizedDescription());
}

}  // namespace brindlecue
