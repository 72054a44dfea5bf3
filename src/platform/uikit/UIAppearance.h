#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {

// The appearance proxy of a view class, alone or inside containers of given classes. Proxies are
// records: a host sets colours on them by property name ("color", "progressTintColor", ...); the
// stand-in applies none by itself, and code that must leave what a host chose reads them.
// Main thread.
class UIAppearanceProxy : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIAppearanceProxy)

    std::optional<UIColor> colorForKey(const std::string& key) const;
    void setColorForKey(const std::string& key, std::optional<UIColor> color);

private:
    std::map<std::string, UIColor> colors_;
};

class UIAppearance {
public:
    // The same proxy for the same class and containers, for the life of the process.
    static std::shared_ptr<UIAppearanceProxy> appearance(const std::string& className);
    static std::shared_ptr<UIAppearanceProxy> appearanceWhenContainedInInstancesOfClasses(
        const std::string& className, const std::vector<std::string>& containerClassNames);
    // Test-only: forgets every proxy (registered with TestingReset when the first is made).
    static void resetForTesting();
};

}  // namespace brindlecue::platform
