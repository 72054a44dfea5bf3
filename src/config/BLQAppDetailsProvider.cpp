#include "config/BLQAppDetailsProvider.h"

#include <mutex>

#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "config/BLQInstallPlatform.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQILoggable.h"
#include "foundation/BLQPublished.h"
#include "foundation/UIDeviceKJExt.h"
#include "platform/Bundle.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

namespace {

struct InstallManagerLink {
    std::mutex mutex;
    std::weak_ptr<BLQIInstallRegistrationManager> manager;
};

// Read by request threads that may still run during exit: never destroyed.
InstallManagerLink& installManagerLink() {
    static auto* link = new InstallManagerLink();
    return *link;
}

std::shared_ptr<BLQIInstallRegistrationManager> installManager() {
    auto& link = installManagerLink();
    std::lock_guard lock(link.mutex);
    return link.manager.lock();
}

std::shared_ptr<BLQInstallDTO> currentInstall() {
    auto manager = installManager();
    return manager ? manager->getCurrentInstall() : nullptr;
}

// The byte length of the first `count` characters of a UTF-8 text (all of it when shorter).
size_t prefixBytes(const std::string& text, size_t count) {
    size_t bytes = 0;
    for (size_t characters = 0; bytes < text.size() && characters < count; ++characters) {
        ++bytes;
        while (bytes < text.size() && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) ++bytes;
    }
    return bytes;
}

}  // namespace

void BLQAppDetailsProvider::setInstallManager(std::weak_ptr<BLQIInstallRegistrationManager> manager) {
    auto& link = installManagerLink();
    std::lock_guard lock(link.mutex);
    link.manager = std::move(manager);
}

std::string BLQAppDetailsProvider::hostClientVersion() {
    auto bundle = platform::Bundle::main();
    std::string version =
        bundle->objectForInfoDictionaryKey(platform::Bundle::kShortVersionStringKey).stringValue() + "+" +
        bundle->objectForInfoDictionaryKey(platform::Bundle::kVersionKey).stringValue();
    size_t cut = prefixBytes(version, kMaxClientVersionLength);
    if (cut == version.size()) return version;
    BLQILoggable().log("WARNING: ClientVersion (" + version + ") is trimmed to max length (" +
                           std::to_string(kMaxClientVersionLength) + ").",
                       BLQLoggingLevel::warning);
    return version.substr(0, cut);
}

std::string BLQAppDetailsProvider::hostDevelopmentPlatform() {
    bool hostRegistered = platform::ClassRegistry::exists(kReactNativeRootViewClass) &&
                          !platform::ClassRegistry::isPlatformClass(kReactNativeRootViewClass);
    return hostRegistered ? BLQInstallPlatform::reactNative() : BLQInstallPlatform::native();
}

std::optional<std::string> BLQAppDetailsProvider::appKey() const {
    auto config = BLQPublished<BLQIConfigManager>::get();
    if (!config) return std::nullopt;
    std::string key = config->getAppKey();
    if (key.empty()) return std::nullopt;
    return key;
}

std::optional<int64_t> BLQAppDetailsProvider::appId() const {
    auto install = currentInstall();
    return install ? install->appId : std::nullopt;
}

std::optional<std::string> BLQAppDetailsProvider::carrier() const {
    return blqGetCarrierName();
}

std::string BLQAppDetailsProvider::clientVersion() const {
    return hostClientVersion();
}

std::string BLQAppDetailsProvider::developmentPlatform() const {
    return hostDevelopmentPlatform();
}

std::optional<std::string> BLQAppDetailsProvider::installId() const {
    auto install = currentInstall();
    return install ? install->installId : std::nullopt;
}

std::optional<std::string> BLQAppDetailsProvider::installToken() const {
    auto config = BLQPublished<BLQIConfigManager>::get();
    return config ? config->getInstallToken() : std::nullopt;
}

std::optional<std::string> BLQAppDetailsProvider::model() const {
    return UIDeviceKJExt::platformString();
}

std::string BLQAppDetailsProvider::sdkVersion() const {
    return kSDKVersion;
}

}  // namespace brindlecue
