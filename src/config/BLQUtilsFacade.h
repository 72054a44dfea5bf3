#pragma once

// The older layer's helpers that ask the facade: the questions put to the configuration manager,
// and the screen name of a view controller.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace brindlecue {

class BLQIConfigManager;

// ---- Questions put to the configuration manager ------------------------------------------------

// How these helpers reach the facade: its configuration manager and its development platform.
// The facade publishes both when it starts; until then every question answers no.
struct BLQUtilsFacade {
    std::weak_ptr<BLQIConfigManager> configManager;
    // The facade's development platform is React Native.
    std::function<bool()> isReactNative;
};
void blqSetFacade(BLQUtilsFacade facade);

// Logs "This App is disabled, please contact Administrator to enable it." when it answers no.
bool brindlecueIsEnabled();
// Tag type 1 asks about click super tags, any other value about view super tags.
bool isSuperTagEnabled(int32_t tagType);
bool isSuperTagFilterPassed(const std::string& text);

// ---- Screen names ----------------------------------------------------------------------------

// The screen name of a view controller: its full runtime class name, or, in a React Native host,
// the author-given native id found under its view's content view when there is one. The lookup
// runs on the main queue (the caller waits for it when called from another thread).
std::string blqAppendUniqueSuffix(const std::string& runtimeClassName,
                                  const std::function<std::optional<std::string>()>& contentViewNativeID);

}  // namespace brindlecue
