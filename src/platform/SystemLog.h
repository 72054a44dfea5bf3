#pragma once

#include <string>
#include <string_view>

#include "platform/LogSink.h"

namespace brindlecue::platform {

// A handle on the unified system log for one subsystem and category, such as
// ("com.brindlecue", "BrindlecueSDK"). Cheap to copy; safe to use from any thread.
class SystemLog {
public:
    SystemLog(std::string subsystem, std::string category)
        : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }

    void log(LogType type, std::string_view message) const;

private:
    std::string subsystem_;
    std::string category_;
};

}  // namespace brindlecue::platform
