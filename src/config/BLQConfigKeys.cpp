#include "config/BLQConfigKeys.h"

#include <array>

namespace brindlecue {

namespace {

constexpr std::array<std::string_view, kBLQConfigKeyCount> kKeyTexts{
    "BLQ_CONFIG_APP_ID",
    "BLQ_CONFIG_APP_KEY",
    "BLQ_CONFIG_LAST_APPSTATUS_FETCH_TIME",
    "BLQ_CONFIG_INSTALL_TOKEN",
    "BLQ_CONFIG_LAST_FEED_FETCH_TIME",
    "BLQ_CONFIG_SDK_DISABLED_TIME",
    "BLQ_CONFIG_SUPERTAG_LEVEL",
    "BLQ_CONFIG_SUPERTAG_FILTER",
    "BLQ_CONFIG_POLL_INTERVAL",
    "BLQ_CONFIG_BRINDLECUE_ENABLED",
    "BLQ_CONFIG_ALIVE_HOST",
    "BLQ_CONFIG_UPLOAD_LOCATION",
    "BLQ_CONFIG_SDK_VERSION",
    "BLQ_CONFIG_SUBMIT_FRIENDLYNAME",
    "BLQ_CONFIG_SUBMIT_INTERACTIVEBUTTONS",
    "BLQ_CONFIG_REREGISTER",
    "BLQ_CONFIG_APPSTOREID",
    "BLQ_CONFIG_DISABLECODES",
    "BLQ_CONFIG_PRIORITYCODES",
    "BLQ_CONFIG_DEBUG_LOG_LEVEL",
    "BLQ_CONFIG_LOG_HANDLERS",
};

}  // namespace

std::string_view rawValue(BLQConfigKeys key) {
    return kKeyTexts.at(static_cast<size_t>(key));
}

std::optional<BLQConfigKeys> BLQConfigKeysFromRawValue(std::string_view text) {
    for (size_t i = 0; i < kKeyTexts.size(); ++i) {
        if (kKeyTexts[i] == text) return static_cast<BLQConfigKeys>(i);
    }
    return std::nullopt;
}

}  // namespace brindlecue
