#pragma once

#include <memory>
#include <vector>

#include "network/BLQIHTTPJSONResponseHandler.h"
#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

// Uploads one batch of user events. Exactly one of the two callbacks runs, once per call.
class BLQIUserEventSender {
public:
    virtual ~BLQIUserEventSender() = default;
    virtual void uploadUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events,
                                  BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
