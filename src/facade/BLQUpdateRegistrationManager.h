#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIUpdateRegistrationManager.h"
#include "facade/BLQInstallValidator.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIUpdateNetworkRequester.h"
#include "network/BLQResponseValidator.h"
#include "storage/BLQIInstallDataStore.h"

namespace brindlecue {

class BLQHTTPRequestError;

// Updates the stored install of the current app key: fills it with the app details, PATCHes it
// and stores it when the answer describes it. Unlike a registration it never creates an install,
// makes no client-version check, keeps no current install and leaves the stored install as it was
// when the answer is refused.
//
// Every update ends in exactly one delegate call when a delegate is set, early ends included (no
// app key, no stored install). Made with make_shared: work in flight keeps the manager alive.
class BLQUpdateRegistrationManager final : public BLQIUpdateRegistrationManager,
                                           public BLQILoggable,
                                           public std::enable_shared_from_this<BLQUpdateRegistrationManager> {
public:
    BLQUpdateRegistrationManager(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                                 std::shared_ptr<BLQIInstallDataStore> dataStore,
                                 std::shared_ptr<BLQIUpdateNetworkRequester> networkRequester,
                                 BLQResponseValidator<BLQInstallValidator> validator);

    std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate) override;

    void registerInstallUpdate(const std::shared_ptr<BLQInstallDTO>& install, Handler handler) override;

private:
    void handleAnswer(const std::shared_ptr<BLQInstallDTO>& install, const platform::Value& answer,
                      const platform::URL& url, Handler handler);
    void fail(const std::string& message, BLQLoggingLevel level, const BLQHTTPRequestError& error,
              Handler handler);
    void reportFailure(const platform::Error& error, Handler handler);

    const std::shared_ptr<BLQIInstallDataStore> dataStore_;
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    const std::shared_ptr<BLQIUpdateNetworkRequester> networkRequester_;
    const BLQResponseValidator<BLQInstallValidator> validator_;

    mutable std::mutex mutex_;
    std::weak_ptr<BLQIUpdateRegistrationDelegate> delegate_;
};

}  // namespace brindlecue
