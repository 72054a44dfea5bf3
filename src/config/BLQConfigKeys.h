#pragma once

#include <optional>
#include <string_view>

namespace brindlecue {

// The keys of the persisted configuration, in declaration order. The raw value is the key text
// under which the configuration store keeps the setting. sdkEnabled, uploadLocation,
// submitFriendlyNames, submitInteractiveButtons, reRegister and appStoreId are declared for the
// server's vocabulary; nothing reads or writes them.
enum class BLQConfigKeys {
    appId,
    appKey,
    appStatusLastFetchTime,
    installToken,
    feedLastFetchTime,
    sdkDisabledTime,
    superTagDisabledLevel,
    superTagFilter,
    appStatusPollInterval,
    sdkEnabled,
    aliveHost,
    uploadLocation,
    sdkVersion,
    submitFriendlyNames,
    submitInteractiveButtons,
    reRegister,
    appStoreId,
    disableCodes,
    priorityCodes,
    logLevel,
    logHandlers,
};

inline constexpr int kBLQConfigKeyCount = 21;

// "BLQ_CONFIG_APP_ID" and so on.
std::string_view rawValue(BLQConfigKeys key);
// Exact, case-sensitive match against the 21 key texts; none for any other text.
std::optional<BLQConfigKeys> BLQConfigKeysFromRawValue(std::string_view text);

}  // namespace brindlecue
