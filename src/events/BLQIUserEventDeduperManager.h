#pragma once

#include <memory>

#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

// Decides, for each event it is asked about, whether it repeats an event of the same session.
class BLQIUserEventDeduperManager {
public:
    virtual ~BLQIUserEventDeduperManager() = default;
    virtual bool shouldDedupe(const std::shared_ptr<BLQUserEventDTO>& event) = 0;
};

}  // namespace brindlecue
