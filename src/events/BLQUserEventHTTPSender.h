#pragma once

#include <memory>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "events/BLQIUserEventSender.h"
#include "network/BLQIHTTPManager.h"

namespace brindlecue {

// One batch, one POST to the host's logs path: {"installid", "app_key", "records"}, the records
// being the documents of the events in batch order (events of code 0, and events without a
// document, left out). Knows nothing of statuses or retries.
//
// A missing install id or app key, a host and path that make no URL and a body that cannot be
// written fail before the call returns; the answer comes on the HTTP client's queue. Held by
// shared pointer: a request in flight keeps its sender alive.
class BLQUserEventHTTPSender final : public BLQIUserEventSender,
                                     public BLQIHTTPJSONResponseHandler,
                                     public std::enable_shared_from_this<BLQUserEventHTTPSender> {
public:
    BLQUserEventHTTPSender(std::shared_ptr<BLQIHTTPManager> httpManager,
                           std::shared_ptr<BLQIConfigManager> configManager,
                           std::shared_ptr<BLQIAppDetailsProvider> appDetails);

    void uploadUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events,
                          BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIHTTPManager> httpManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
    std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
};

}  // namespace brindlecue
