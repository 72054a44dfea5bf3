#include "platform/SystemLog.h"

namespace brindlecue::platform {

void SystemLog::log(LogType type, std::string_view message) const {
    LogSink::dispatch(LogEntry{subsystem_, category_, type, std::string(message)});
}

}  // namespace brindlecue::platform
