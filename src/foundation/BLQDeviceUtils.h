#pragma once

// The older layer's helpers for resources and facts about the device and the host app.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Bundle.h"

namespace brindlecue {

// Build modes of the host app.
enum BLQAppModeValue : int32_t {
    BLQAppModeOther = 0,
    BLQAppModeSimulator = 1,
    BLQAppModeInternalDevelopment = 2,
    BLQAppModeInternalAdhoc = 3,
    BLQAppModeAppStore = 4,
    BLQAppModeEnterprise = 5,
};

// The bundle that holds "<name>.<type>": the main bundle, else the "BrindlecueResources" bundle;
// a png name without "@" also tries its "@3x" and "@2x" variants. None gives null, or, when the
// resource must exist, stops the process with "Cannot find suitable bundle".
std::shared_ptr<platform::Bundle> blqFindBundleForResource(const std::string& name, const std::string& type,
                                                           bool mustExist);
// The main bundle's translation of the key, else the resource bundle's, else the default value.
std::string blqLocalizedString(const std::string& key, const std::string& defaultValue);

// The link-level address of interface "en0" as "AA:BB:CC:DD:EE:FF", or none.
std::optional<std::string> blqGetMacAddress();
// The cellular provider's name, or "Other".
std::string blqGetCarrierName();
// The build mode of the host app, read once from its embedded provisioning profile: no profile is
// the App Store; a profile for all devices is Enterprise; one listing devices is Internal
// Development when it allows debugging, else Internal Adhoc. A profile that cannot be read counts
// as the App Store.
int32_t blqAppMode();
// Forgets the mode read, so that the next blqAppMode() reads the profile again. For tests that run
// in one process.
void blqForgetAppMode();
// "Other", "Simulator", "Internal Development", "Internal Adhoc", "AppStore", "Enterprise"; the
// empty text outside 0..5.
std::string blqAppModeString(int32_t mode);
// An "http" or "https" URL (any case) on an OS from 9.0 on.
bool blqIsUniversalLinking(const std::string& url);

}  // namespace brindlecue
