#pragma once

#include <string>

#include "foundation/BLQILoggable.h"
#include "network/BLQIResponseValidator.h"

namespace brindlecue {

class BLQFeed;

// The check of a fetched feed answer: every answer is accepted.
class BLQFeedValidator final : public BLQIResponseValidator<BLQFeed>, public BLQILoggable {
public:
    bool validateResponse(const platform::Value& received, const BLQFeed* sent,
                          const std::string& errorMessagePrefix) const override;
};

}  // namespace brindlecue
