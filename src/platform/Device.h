#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brindlecue::platform {

// Facts about the device and its settings. Each can be overridden (tests, hosts); what is not
// overridden comes from the system.
struct DeviceOverrides {
    std::optional<std::string> machine;
    std::optional<std::string> systemName;
    std::optional<std::string> systemVersion;
    std::optional<std::vector<std::string>> preferredLanguages;
    std::optional<std::string> countryCode;
    // There is no carrier unless one is set.
    std::optional<std::string> carrierName;
};

class Device {
public:
    // The hardware model ("hw.machine"); here uname's machine, such as "x86_64".
    static std::string machine();
    // "iOS", as the platform reports it.
    static std::string systemName();
    // The leading dotted number of the kernel release, such as "6.1.0".
    static std::string systemVersion();
    // BCP 47 tags, most preferred first, from LANGUAGE, LC_ALL or LANG ("en_US.UTF-8" gives
    // "en-US"); ["en-US"] when none names a language.
    static std::vector<std::string> preferredLanguages();
    // The region of the default locale, such as "US"; none when the locale has no region.
    static std::optional<std::string> countryCode();
    // The default time zone's offset from GMT (daylight saving included) at the clock's now.
    static int64_t secondsFromGMT();
    static std::optional<std::string> carrierName();

    static DeviceOverrides overrides();
    static void setOverrides(DeviceOverrides overrides);
};

}  // namespace brindlecue::platform
