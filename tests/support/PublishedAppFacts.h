#pragma once

// The app facts the facade publishes for the layers below it, set by a test: the server host and
// the app key (configuration manager, older HTTP clients), and the current install with its id
// and app id (install registration manager). Published while the object lives; any thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "config/BLQAppDetailsProvider.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "facade/BLQFacadeLink.h"
#include "network/KJHTTPFacade.h"
#include "support/StubConfigManager.h"

namespace brindlecue::testsupport {

class PublishedAppFacts {
public:
    PublishedAppFacts(std::string host, std::string appKey, std::optional<std::string> installId,
                      std::optional<int64_t> appId)
        : facts_(std::make_shared<Facts>(std::move(host), std::move(appKey), std::move(installId), appId)) {
        BLQFacadeLink::setConfigManager(std::make_shared<Config>(facts_));
        BLQAppDetailsProvider::setInstallManager(installs_ = std::make_shared<Installs>(facts_));
        KJHTTPFacade::set(std::make_shared<HTTPFacade>(facts_));
    }
    ~PublishedAppFacts() {
        KJHTTPFacade::set(nullptr);
        BLQAppDetailsProvider::setInstallManager({});
        BLQFacadeLink::setConfigManager(nullptr);
    }
    PublishedAppFacts(const PublishedAppFacts&) = delete;
    PublishedAppFacts& operator=(const PublishedAppFacts&) = delete;

    // None: no install has been registered.
    void setInstallId(std::optional<std::string> id) {
        std::lock_guard lock(facts_->mutex);
        facts_->installId = std::move(id);
    }

private:
    struct Facts {
        Facts(std::string h, std::string k, std::optional<std::string> i, std::optional<int64_t> a)
            : host(std::move(h)), appKey(std::move(k)), installId(std::move(i)), appId(a) {}
        std::optional<std::string> install() {
            std::lock_guard lock(mutex);
            return installId;
        }
        std::mutex mutex;
        const std::string host, appKey;
        std::optional<std::string> installId;
        const std::optional<int64_t> appId;
    };
    struct Config final : StubConfigManager {
        explicit Config(std::shared_ptr<Facts> f) : facts(std::move(f)) {}
        std::string getAppKey() const override { return facts->appKey; }
        std::string getHost() override { return facts->host; }
        std::shared_ptr<Facts> facts;
    };
    struct Installs final : BLQIInstallRegistrationManager {
        explicit Installs(std::shared_ptr<Facts> f) : facts(std::move(f)) {}
        std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const override { return nullptr; }
        void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate>) override {}
        std::shared_ptr<BLQInstallDTO> getCurrentInstall() override {
            auto id = facts->install();
            if (!id) return nullptr;
            return std::make_shared<BLQInstallDTO>(id, facts->appId, facts->appKey, std::nullopt, std::nullopt,
                                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                                   std::nullopt, std::nullopt, std::nullopt, true, std::nullopt,
                                                   std::nullopt, std::nullopt);
        }
        std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string&) override { return getCurrentInstall(); }
        void registerInstallWithHandler(Handler) override {}
        std::shared_ptr<Facts> facts;
    };
    struct HTTPFacade final : KJHTTPFacade {
        explicit HTTPFacade(std::shared_ptr<Facts> f) : facts(std::move(f)) {}
        std::optional<int64_t> appId() const override { return facts->appId; }
        std::string appKey() const override { return facts->appKey; }
        std::string sdkVersion() const override { return BLQAppDetailsProvider::kSDKVersion; }
        std::string installId() const override { return facts->install().value_or(""); }
        bool isDebugMode() const override { return false; }
        std::string host() const override { return facts->host; }
        void setSDKDisabledTime(double) override {}
        std::shared_ptr<Facts> facts;
    };

    std::shared_ptr<Facts> facts_;
    // The link to the install manager is weak.
    std::shared_ptr<Installs> installs_;
};

}  // namespace brindlecue::testsupport
