#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "config/BLQInstallDTO.h"
#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

// Told the outcome of an install update; the response is the server's JSON dictionary and the
// handler the caller's completion, handed on unchanged.
class BLQIUpdateRegistrationDelegate {
public:
    // The caller's completion: the install (or none) and the error (or none).
    using Handler = std::function<void(std::shared_ptr<BLQInstallDTO>, std::optional<platform::Error>)>;

    virtual ~BLQIUpdateRegistrationDelegate() = default;
    virtual void onUpdateSuccess(const platform::Value& response, const platform::URL& fromURL,
                                 Handler handler) = 0;
    virtual void onUpdateFailure(const platform::Error& error, Handler handler) = 0;
};

}  // namespace brindlecue
