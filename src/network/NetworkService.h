#pragma once

#include <memory>

#include "platform/foundation/URLResponse.h"

namespace brindlecue {

// The networking layer's general answer types.
struct NetworkService {
    // A decoded answer beside the URL response it came with.
    template <typename Value>
    struct Response {
        Value value;
        std::shared_ptr<platform::URLResponse> response;
    };
};

}  // namespace brindlecue
