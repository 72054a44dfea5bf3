#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "config/BLQIAppDetailsProvider.h"

namespace brindlecue {

class BLQIInstallRegistrationManager;

// The app and device facts the install and update carry, read from their sources each time:
// app key and install token from the facade's configuration manager (BLQPublished), app id and
// install id from the facade's current install (its install registration manager), the carrier
// and the device model from the device, the client version from the main bundle, the development
// platform from the class registry and the SDK version from the library.
//
// Holds nothing itself; any number of providers give the same answers.
class BLQAppDetailsProvider final : public BLQIAppDetailsProvider {
public:
    static constexpr const char* kSDKVersion = "3.0.3";
    static constexpr size_t kMaxClientVersionLength = 64;
    // The React Native root view class; a host that embeds React Native registers it.
    static constexpr const char* kReactNativeRootViewClass = "RCTRootView";

    // The facade publishes its install registration manager here once it has one; until then, and
    // after it is gone, there is no current install.
    static void setInstallManager(std::weak_ptr<BLQIInstallRegistrationManager> manager);

    // The host app's version: "<CFBundleShortVersionString>+<CFBundleVersion>" of the main
    // bundle ("(null)" for a missing value), cut to its first 64 characters, with a warning, when
    // longer.
    static std::string hostClientVersion();
    // "reactnative" when the host has registered the React Native root view class, else "native".
    // The class registry knows that class's name from the start (so that targets can name React
    // Native views); only a registration of the host's own, not as a platform class, counts.
    static std::string hostDevelopmentPlatform();

    std::optional<std::string> appKey() const override;
    std::optional<int64_t> appId() const override;
    std::optional<std::string> carrier() const override;
    std::string clientVersion() const override;
    std::string developmentPlatform() const override;
    std::optional<std::string> installId() const override;
    std::optional<std::string> installToken() const override;
    std::optional<std::string> model() const override;
    std::string sdkVersion() const override;
};

}  // namespace brindlecue
