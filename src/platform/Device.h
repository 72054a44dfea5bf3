#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brindlecue::platform {

// Facts about the device and its settings. Each can be overridden (tests, hosts). The device's
// identity (machine, model, name, system name and version) is the mobile device this build stands
// for, with the fixed defaults below; the locale facts come from the process's environment.
struct DeviceOverrides {
    std::optional<std::string> machine;
    std::optional<std::string> model;
    std::optional<std::string> name;
    std::optional<std::string> systemName;
    std::optional<std::string> systemVersion;
    std::optional<std::vector<std::string>> preferredLanguages;
    std::optional<std::string> countryCode;
    // There is no carrier unless one is set.
    std::optional<std::string> carrierName;
};

class Device {
public:
    // Defaults of the device's identity.
    static constexpr const char* kDefaultMachine = "iPhone15,2";
    static constexpr const char* kDefaultModel = "iPhone";
    static constexpr const char* kDefaultName = "iPhone";
    static constexpr const char* kDefaultSystemName = "iOS";
    static constexpr const char* kDefaultSystemVersion = "17.5";

    // The hardware model identifier ("hw.machine"), "iPhone15,2" unless set.
    static std::string machine();
    // The device's model ("iPhone") and the name its user gave it ("iPhone" unless set).
    static std::string model();
    static std::string name();
    // "iOS" and "17.5" unless set.
    static std::string systemName();
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
