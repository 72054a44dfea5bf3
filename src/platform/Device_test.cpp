#include "platform/Device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <unicode/timezone.h>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {
namespace {

// The preferred languages with the locale variables set as given (null: unset); the old values
// are put back afterwards.
std::vector<std::string> languagesWith(const char* language, const char* lcAll, const char* lang) {
    const char* names[] = {"LANGUAGE", "LC_ALL", "LANG"};
    const char* values[] = {language, lcAll, lang};
    std::optional<std::string> old[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* v = std::getenv(names[i])) old[i] = v;
        values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
    }
    auto out = Device::preferredLanguages();
    for (int i = 0; i < 3; ++i) old[i] ? setenv(names[i], old[i]->c_str(), 1) : unsetenv(names[i]);
    return out;
}

TEST(Device, PreferredLanguagesComeFromTheLocaleEnvironment) {
    EXPECT_EQ(languagesWith("fr_CA:de", "en_GB.UTF-8", nullptr), (std::vector<std::string>{"fr-CA", "de"}));
    EXPECT_EQ(languagesWith(nullptr, "en_GB.UTF-8", "de_DE"), std::vector<std::string>{"en-GB"});
    EXPECT_EQ(languagesWith("", "C", "pt_BR.UTF-8@latin"), std::vector<std::string>{"pt-BR"});
    EXPECT_EQ(languagesWith(nullptr, nullptr, "POSIX"), std::vector<std::string>{"en-US"});
}

TEST(Device, TheIdentityIsTheMobileDevicesWithDefaultsAHostCanSet) {
    Device::setOverrides({});
    EXPECT_EQ(Device::systemName(), "iOS");
    EXPECT_EQ(Device::systemVersion(), "17.5");
    EXPECT_EQ(Device::machine(), "iPhone15,2");
    EXPECT_EQ(Device::model(), "iPhone");
    EXPECT_EQ(Device::name(), "iPhone");
    EXPECT_EQ(Device::carrierName(), std::nullopt);

    DeviceOverrides o;
    o.machine = "iPad13,4";
    o.model = "iPad";
    o.name = "Kim's iPad";
    o.systemVersion = "16.4.1";
    o.carrierName = "Carrier";
    Device::setOverrides(o);
    EXPECT_EQ(Device::machine(), "iPad13,4");
    EXPECT_EQ(Device::model(), "iPad");
    EXPECT_EQ(Device::name(), "Kim's iPad");
    EXPECT_EQ(Device::systemVersion(), "16.4.1");
    EXPECT_EQ(Device::carrierName(), "Carrier");
    Device::setOverrides({});
    EXPECT_EQ(Device::systemVersion(), "17.5");
    EXPECT_EQ(Device::carrierName(), std::nullopt);
}

TEST(Device, SecondsFromGMTFollowsDaylightSavingAtTheClocksNow) {
    // The device's zone is the process's: it is put back however the test ends.
    struct PutBack {
        std::unique_ptr<icu::TimeZone> zone{icu::TimeZone::createDefault()};
        ~PutBack() { icu::TimeZone::setDefault(*zone); }
    } putBack;
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("America/New_York"));
    Clock::useVirtual(1767225600.0);  // 2026-01-01
    EXPECT_EQ(Device::secondsFromGMT(), -5 * 3600);
    Clock::useVirtual(1782864000.0);  // 2026-07-01
    EXPECT_EQ(Device::secondsFromGMT(), -4 * 3600);
    Clock::useReal();
}

}  // namespace
}  // namespace brindlecue::platform
