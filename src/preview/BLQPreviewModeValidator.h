#pragma once

#include <string>

#include "config/BLQAppStatusModel.h"
#include "network/BLQIResponseValidator.h"

namespace brindlecue {

// The validator the preview-mode manager holds for the status document: every answer passes.
class BLQPreviewModeValidator final : public BLQIResponseValidator<BLQAppStatusModel> {
public:
    bool validateResponse(const platform::Value& received, const BLQAppStatusModel* sent,
                          const std::string& errorMessagePrefix) const override;
};

}  // namespace brindlecue
