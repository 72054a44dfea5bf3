#pragma once

#include <string>

#include "config/BLQInstallDTO.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIResponseValidator.h"

namespace brindlecue {

// Decides whether the server's answer to an install registration or update describes the install
// that was sent: the same install id, the operating system "ios" and the same SDK version, each
// compared after lower-casing. The first fact that fails is logged at level 5 and the answer
// refused.
class BLQInstallValidator final : public BLQIResponseValidator<BLQInstallDTO>, public BLQILoggable {
public:
    bool validateResponse(const platform::Value& received, const BLQInstallDTO* sent,
                          const std::string& errorMessagePrefix) const override;
};

}  // namespace brindlecue
