#include "platform/uikit/UIAppearance.h"

#include <mutex>

#include "platform/TestingReset.h"

namespace brindlecue::platform {
namespace {

std::map<std::string, std::shared_ptr<UIAppearanceProxy>>& proxies() {
    static auto* map = new std::map<std::string, std::shared_ptr<UIAppearanceProxy>>;
    return *map;
}

}  // namespace

std::optional<UIColor> UIAppearanceProxy::colorForKey(const std::string& key) const {
    auto it = colors_.find(key);
    if (it == colors_.end()) return std::nullopt;
    return it->second;
}

void UIAppearanceProxy::setColorForKey(const std::string& key, std::optional<UIColor> color) {
    if (color)
        colors_[key] = *color;
    else
        colors_.erase(key);
}

std::shared_ptr<UIAppearanceProxy> UIAppearance::appearance(const std::string& className) {
    return appearanceWhenContainedInInstancesOfClasses(className, {});
}

std::shared_ptr<UIAppearanceProxy> UIAppearance::appearanceWhenContainedInInstancesOfClasses(
    const std::string& className, const std::vector<std::string>& containerClassNames) {
    static std::once_flag registered;
    std::call_once(registered, [] { TestingReset::add("UIAppearance", [] { resetForTesting(); }); });
    std::string key = className;
    for (const auto& c : containerClassNames) key += "\n" + c;
    auto& slot = proxies()[key];
    if (!slot) slot = make<UIAppearanceProxy>();
    return slot;
}

void UIAppearance::resetForTesting() {
    proxies().clear();
}

}  // namespace brindlecue::platform
