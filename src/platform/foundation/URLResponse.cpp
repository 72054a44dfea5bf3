#include "platform/foundation/URLResponse.h"

namespace brindlecue::platform {

std::string URLResponse::description() const {
    return "<NSURLResponse> { URL: " + (url_ ? url_->absoluteString() : std::string("(null)")) + " }";
}

}  // namespace brindlecue::platform
