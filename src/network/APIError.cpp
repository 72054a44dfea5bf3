#include "network/APIError.h"

namespace brindlecue {

APIError APIError::networkError(platform::Error from) {
    APIError error(Kind::networkError, "");
    error.from_ = std::move(from);
    return error;
}

std::string APIError::errorDescription() const {
    switch (kind_) {
        case Kind::apiError:
        case Kind::parseError: return reason_;
        case Kind::networkError: return from_->localizedDescription();
        case Kind::unkown: break;
    }
    return "Unknown error";
}

}  // namespace brindlecue
