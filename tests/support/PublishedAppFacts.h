#pragma once

// The app facts the facade publishes for the layers below it, set by a test: the server host and
// the app key (configuration manager, older HTTP clients), and the current install with its id
// and app id (install registration manager). Published while the object lives.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "facade/BLQAppDetailsProvider.h"
#include "facade/BLQIInstallRegistrationManager.h"
#include "foundation/BLQFacadeLink.h"
#include "network/KJHTTPFacade.h"
#include "support/StubConfigManager.h"

namespace brindlecue::testsupport {

class PublishedAppFacts {
public:
    PublishedAppFacts(std::string host, std::string appKey, std::optional<std::string> installId,
                      std::optional<int64_t> appId)
        : facts_(std::make_shared<Facts>()) {
        facts_->host = std::move(host);
        facts_->appKey = std::move(appKey);
        facts_->installId = std::move(installId);
        facts_->appId = appId;
        config_ = std::make_shared<Config>(facts_);
        installs_ = std::make_shared<Installs>(facts_);
        BLQFacadeLink::setConfigManager(config_);
        BLQAppDetailsProvider::setInstallManager(installs_);
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
        std::mutex mutex;
        std::string host, appKey;
        std::optional<std::string> installId;
        std::optional<int64_t> appId;
    };
    class Config final : public StubConfigManager {
    public:
        explicit Config(std::shared_ptr<Facts> facts) : facts_(std::move(facts)) {}
        std::string getAppKey() const override { return facts_->appKey; }
        std::string getHost() override { return facts_->host; }

    private:
        std::shared_ptr<Facts> facts_;
    };
    class Installs final : public BLQIInstallRegistrationManager {
    public:
        explicit Installs(std::shared_ptr<Facts> facts) : facts_(std::move(facts)) {}
        std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const override { return nullptr; }
        void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate>) override {}
        std::shared_ptr<BLQInstallDTO> getCurrentInstall() override {
            std::lock_guard lock(facts_->mutex);
            if (!facts_->installId) return nullptr;
            return std::make_shared<BLQInstallDTO>(facts_->installId, facts_->appId, facts_->appKey, std::nullopt,
                                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt, true,
                                                   std::nullopt, std::nullopt, std::nullopt);
        }
        std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string&) override { return getCurrentInstall(); }
        void registerInstallWithHandler(Handler) override {}

    private:
        std::shared_ptr<Facts> facts_;
    };
    class HTTPFacade final : public KJHTTPFacade {
    public:
        explicit HTTPFacade(std::shared_ptr<Facts> facts) : facts_(std::move(facts)) {}
        std::optional<int64_t> appId() const override { return facts_->appId; }
        std::string appKey() const override { return facts_->appKey; }
        std::string sdkVersion() const override { return BLQAppDetailsProvider::kSDKVersion; }
        std::string installId() const override {
            std::lock_guard lock(facts_->mutex);
            return facts_->installId.value_or("");
        }
        bool isDebugMode() const override { return false; }
        std::string host() const override { return facts_->host; }
        void setSDKDisabledTime(double) override {}

    private:
        std::shared_ptr<Facts> facts_;
    };

    std::shared_ptr<Facts> facts_;
    std::shared_ptr<Config> config_;
    std::shared_ptr<Installs> installs_;
};

}  // namespace brindlecue::testsupport
