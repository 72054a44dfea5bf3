#include "feed/BLQFeedValidator.h"

namespace brindlecue {

bool BLQFeedValidator::validateResponse(const platform::Value&, const BLQFeed*, const std::string&) const {
    return true;
}

}  // namespace brindlecue
