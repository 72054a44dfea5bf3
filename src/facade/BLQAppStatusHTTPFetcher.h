#pragma once

#include <memory>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "facade/BLQIAppStatusFetcher.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"

namespace brindlecue {

// Fetches the app-status document with a GET of <host>/v3/apps/<app key>/status. The handler
// hears exactly one success or failure per fetch (failures as BLQHTTPRequestError), on the HTTP
// client's completion thread, except when the answer's JSON cannot be written back out, which
// nobody hears of.
class BLQAppStatusHTTPFetcher final : public BLQIAppStatusFetcher,
                                      public BLQIHTTPJSONResponseHandler,
                                      public std::enable_shared_from_this<BLQAppStatusHTTPFetcher> {
public:
    BLQAppStatusHTTPFetcher(std::shared_ptr<BLQIHTTPManager> httpManager,
                            std::shared_ptr<BLQIConfigManager> configManager,
                            std::shared_ptr<BLQIAppDetailsProvider> appDetails);

    // The host argument is not used: the URL is built from the configuration manager's host.
    void fetchAppStatus(const std::string& host, std::shared_ptr<BLQIAppStatusFetchHandler> handler) override;

private:
    const std::shared_ptr<BLQIHTTPManager> httpManager_;
    const std::shared_ptr<BLQIConfigManager> configManager_;
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
};

}  // namespace brindlecue
