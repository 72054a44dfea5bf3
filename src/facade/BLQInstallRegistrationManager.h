#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "facade/BLQInstallValidator.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIInstallNetworkRequester.h"
#include "network/BLQResponseValidator.h"
#include "storage/BLQIInstallDataStore.h"

namespace brindlecue {

class BLQHTTPRequestError;

// Registers the install of the current app key: reuses the stored install or has the store
// create one, fills it with the app details, checks the client version, POSTs it and checks the
// answer. An accepted answer stores the install as registered and makes it the current install.
//
// Every registration ends in exactly one delegate call when a delegate is set, early ends
// included (no app key, no install created), so that a caller waiting for its handler is always
// released. Made with make_shared: work in flight keeps the manager alive.
class BLQInstallRegistrationManager final
    : public BLQIInstallRegistrationManager,
      public BLQILoggable,
      public std::enable_shared_from_this<BLQInstallRegistrationManager> {
public:
    BLQInstallRegistrationManager(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                                  std::shared_ptr<BLQIInstallDataStore> dataStore,
                                  std::shared_ptr<BLQIConfigManager> configManager,
                                  std::shared_ptr<BLQIInstallNetworkRequester> networkRequester,
                                  BLQResponseValidator<BLQInstallValidator> validator);

    std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate> delegate) override;

    std::shared_ptr<BLQInstallDTO> getCurrentInstall() override;
    std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& appKey) override;
    void registerInstallWithHandler(Handler handler) override;

    // Shared with the update manager.
    //
    // Copies app key, development platform, SDK version, client version, carrier and model into
    // the install; nothing else changes.
    static void fillInstall(BLQInstallDTO& install, const BLQIAppDetailsProvider& appDetails);
    // The answer's "app_id" when it is a whole number within 64 bits; none otherwise.
    static std::optional<int64_t> appIdFromAnswer(const platform::Value& answer);

private:
    void registerInstall(const std::shared_ptr<BLQInstallDTO>& install, Handler handler);
    void handleAnswer(const std::shared_ptr<BLQInstallDTO>& install, const platform::Value& answer,
                      const platform::URL& url, Handler handler);
    // Logs the message at the level and reports it to the delegate as the error.
    void fail(const std::string& message, BLQLoggingLevel level, const BLQHTTPRequestError& error,
              Handler handler);
    void reportFailure(const platform::Error& error, Handler handler);

    const std::shared_ptr<BLQIInstallDataStore> dataStore_;
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    const std::shared_ptr<BLQIConfigManager> configManager_;
    const std::shared_ptr<BLQIInstallNetworkRequester> networkRequester_;
    const BLQResponseValidator<BLQInstallValidator> validator_;

    // Read and replaced from the caller's, the store's and the network's threads.
    mutable std::mutex mutex_;
    std::shared_ptr<BLQInstallDTO> currentInstall_;
    std::weak_ptr<BLQIInstallRegistrationDelegate> delegate_;
};

}  // namespace brindlecue
