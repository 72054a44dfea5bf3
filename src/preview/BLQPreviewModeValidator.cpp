#include "preview/BLQPreviewModeValidator.h"

namespace brindlecue {

bool BLQPreviewModeValidator::validateResponse(const platform::Value&, const BLQAppStatusModel*,
                                               const std::string&) const {
    return true;
}

}  // namespace brindlecue
