#pragma once

#include <string>

#include "foundation/BLQILoggable.h"
#include "network/BLQIResponseValidator.h"

namespace brindlecue {

class BLQFeed;

// The check of a fetched feed answer: every answer is accepted. Not final: the feed manager holds
// this type, and a check that refuses answers derives from it.
class BLQFeedValidator : public BLQIResponseValidator<BLQFeed>, public BLQILoggable {
public:
    bool validateResponse(const platform::Value& received, const BLQFeed* sent,
                          const std::string& errorMessagePrefix) const override;
};

}  // namespace brindlecue
