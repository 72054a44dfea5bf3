#pragma once

#include <memory>
#include <string>

namespace brindlecue::platform {

// The levels of the unified system log.
enum class LogType { Default, Info, Debug, Error, Fault };

// "Default", "Info", "Debug", "Error" or "Fault".
const char* logTypeName(LogType type);

struct LogEntry {
    std::string subsystem;
    std::string category;
    LogType type = LogType::Default;
    std::string message;
};

// Where every system-log line of the process ends up. There is one current sink per process;
// by default it writes to syslog(3), or to standard error when the environment variable
// BRINDLECUE_LOG is "stderr". Sinks are called from any thread and must be thread-safe.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogEntry& entry) = 0;

    // The sink lines go to now (created on first use).
    static std::shared_ptr<LogSink> current();
    // Makes the sink current and returns the one it replaces. A null sink restores the default.
    static std::shared_ptr<LogSink> install(std::shared_ptr<LogSink> sink);
    // Hands the entry to the current sink.
    static void dispatch(const LogEntry& entry);
};

}  // namespace brindlecue::platform
