#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace brindlecue {

// What the older layer's HTTP clients need of the facade and its configuration manager. The
// facade installs its implementation with set() when it starts; until then the clients know no
// host, install or app and never pause the library.
class KJHTTPFacade {
public:
    virtual ~KJHTTPFacade() = default;

    virtual std::optional<int64_t> appId() const = 0;
    virtual std::string appKey() const = 0;
    virtual std::string sdkVersion() const = 0;
    // The current install's id; empty when there is none yet.
    virtual std::string installId() const = 0;
    virtual bool isDebugMode() const = 0;
    // The configured server: scheme and host, no trailing "/".
    virtual std::string host() const = 0;
    // Seconds since 2001-01-01 00:00:00 UTC until which the library counts as disabled.
    virtual void setSDKDisabledTime(double time) = 0;

    static void set(std::shared_ptr<KJHTTPFacade> facade);
    static std::shared_ptr<KJHTTPFacade> current();
};

}  // namespace brindlecue
