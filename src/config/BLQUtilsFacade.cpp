#include "config/BLQUtilsFacade.h"

#include <mutex>

#include "config/BLQIConfigManager.h"
#include "platform/SystemLog.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

namespace {

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

std::mutex& questionsMutex() {
    static std::mutex m;
    return m;
}

BLQUtilsFacade& facadeSlot() {
    static auto* f = new BLQUtilsFacade;
    return *f;
}

BLQUtilsFacade facade() {
    std::lock_guard lock(questionsMutex());
    return facadeSlot();
}

}  // namespace

// ---- Questions put to the configuration manager ------------------------------------------------

void blqSetFacade(BLQUtilsFacade f) {
    std::lock_guard lock(questionsMutex());
    facadeSlot() = std::move(f);
}

bool brindlecueIsEnabled() {
    auto manager = facade().configManager.lock();
    bool enabled = manager && manager->isBrindlecueEnabled();
    if (!enabled) {
        systemLog().log(platform::LogType::Default,
                        "This App is disabled, please contact Administrator to enable it.");
    }
    return enabled;
}

bool isSuperTagEnabled(int32_t tagType) {
    auto manager = facade().configManager.lock();
    return manager && manager->isSuperTagsEnabled(tagType);
}

bool isSuperTagFilterPassed(const std::string& text) {
    auto manager = facade().configManager.lock();
    return manager && manager->isSuperTagFilterPassed(text);
}

// ---- Screen names ----------------------------------------------------------------------------

std::string blqAppendUniqueSuffix(const std::string& runtimeClassName,
                                  const std::function<std::optional<std::string>()>& contentViewNativeID) {
    std::string name = runtimeClassName;
    auto f = facade();
    if (!f.isReactNative || !f.isReactNative() || !contentViewNativeID) return name;
    std::optional<std::string> nativeID;
    platform::DispatchQueue::main()->sync([&] { nativeID = contentViewNativeID(); });
    if (nativeID && !nativeID->empty()) name = *nativeID;
    return name;
}

}  // namespace brindlecue
