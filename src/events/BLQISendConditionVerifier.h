#pragma once

#include <memory>

#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

// Asked after each new event whether it calls for an upload now; may change the event's fields.
class BLQISendConditionVerifier {
public:
    virtual ~BLQISendConditionVerifier() = default;
    virtual bool shouldSendNow(const std::shared_ptr<BLQUserEventDTO>& event) = 0;
};

}  // namespace brindlecue
