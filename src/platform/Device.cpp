#include "platform/Device.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {

namespace {

std::mutex& overridesMutex() {
    static std::mutex m;
    return m;
}

DeviceOverrides& overridesSlot() {
    static auto* o = new DeviceOverrides();  // leaked: workers may read it during exit
    return *o;
}

template <class T>
std::optional<T> overridden(std::optional<T> DeviceOverrides::*field) {
    std::lock_guard lock(overridesMutex());
    return overridesSlot().*field;
}

// "en_US.UTF-8@euro" -> "en-US"; "" for the C and POSIX locales.
std::string languageTag(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return "";
    std::string tag(locale);
    for (char& c : tag) {
        if (c == '_') c = '-';
    }
    return tag;
}

}  // namespace

std::string Device::machine() {
    return overridden(&DeviceOverrides::machine).value_or(kDefaultMachine);
}

std::string Device::model() {
    return overridden(&DeviceOverrides::model).value_or(kDefaultModel);
}

std::string Device::name() {
    return overridden(&DeviceOverrides::name).value_or(kDefaultName);
}

std::string Device::systemName() {
    return overridden(&DeviceOverrides::systemName).value_or(kDefaultSystemName);
}

std::string Device::systemVersion() {
    return overridden(&DeviceOverrides::systemVersion).value_or(kDefaultSystemVersion);
}

std::vector<std::string> Device::preferredLanguages() {
    if (auto o = overridden(&DeviceOverrides::preferredLanguages)) return *o;
    std::vector<std::string> out;
    for (const char* name : {"LANGUAGE", "LC_ALL", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr) continue;
        // LANGUAGE is a colon-separated list; the others hold one locale.
        std::string_view rest(value);
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            std::string tag = languageTag(rest.substr(0, colon));
            if (!tag.empty()) out.push_back(tag);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
        if (!out.empty()) return out;
    }
    return {"en-US"};
}

std::optional<std::string> Device::countryCode() {
    if (auto o = overridden(&DeviceOverrides::countryCode)) return *o;
    const char* country = icu::Locale::getDefault().getCountry();
    if (country == nullptr || *country == '\0') return std::nullopt;
    return std::string(country);
}

int64_t Device::secondsFromGMT() {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    if (!zone) return 0;
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(Clock::now() * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    return (static_cast<int64_t>(raw) + dst) / 1000;
}

std::optional<std::string> Device::carrierName() {
    return overridden(&DeviceOverrides::carrierName);
}

DeviceOverrides Device::overrides() {
    std::lock_guard lock(overridesMutex());
    return overridesSlot();
}

void Device::setOverrides(DeviceOverrides overrides) {
    std::lock_guard lock(overridesMutex());
    overridesSlot() = std::move(overrides);
}

}  // namespace brindlecue::platform
