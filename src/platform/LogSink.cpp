#include "platform/LogSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <syslog.h>
#include <unistd.h>

namespace brindlecue::platform {

namespace {

class SyslogSink final : public LogSink {
public:
    void write(const LogEntry& entry) override {
        {
            std::lock_guard lock(mutex_);
            if (!opened_) {
                // Without a log daemon the C library would try to reconnect on every line and keep
                // none of them, so such a machine skips the calls altogether.
                daemon_ = ::access("/dev/log", F_OK) == 0;
                // openlog keeps the pointer, so the ident lives as long as the sink.
                ident_ = entry.subsystem.empty() ? "brindlecue" : entry.subsystem;
                if (daemon_) openlog(ident_.c_str(), LOG_PID | LOG_NDELAY, LOG_USER);
                opened_ = true;
            }
            if (!daemon_) return;
        }
        syslog(priority(entry.type), "[%s] %s", entry.category.c_str(), entry.message.c_str());
    }

private:
    static int priority(LogType type) {
        switch (type) {
            case LogType::Debug:
                return LOG_DEBUG;
            case LogType::Info:
                return LOG_INFO;
            case LogType::Default:
                return LOG_NOTICE;
            case LogType::Error:
                return LOG_ERR;
            case LogType::Fault:
                return LOG_CRIT;
        }
        return LOG_NOTICE;
    }

    std::mutex mutex_;
    bool opened_ = false;
    bool daemon_ = false;
    std::string ident_;
};

class StderrSink final : public LogSink {
public:
    void write(const LogEntry& entry) override {
        std::string line = entry.subsystem + "[" + entry.category + "] <" + logTypeName(entry.type) + "> " +
                           entry.message + "\n";
        // One write per line so that lines of different threads never interleave.
        std::lock_guard lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
};

std::shared_ptr<LogSink> makeDefaultSink() {
    const char* mode = std::getenv("BRINDLECUE_LOG");
    if (mode != nullptr && std::strcmp(mode, "stderr") == 0) return std::make_shared<StderrSink>();
    return std::make_shared<SyslogSink>();
}

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<LogSink>& sinkSlot() {
    static auto* sink = new std::shared_ptr<LogSink>();  // leaked: workers may log during exit
    return *sink;
}

}  // namespace

const char* logTypeName(LogType type) {
    switch (type) {
        case LogType::Default:
            return "Default";
        case LogType::Info:
            return "Info";
        case LogType::Debug:
            return "Debug";
        case LogType::Error:
            return "Error";
        case LogType::Fault:
            return "Fault";
    }
    return "Default";
}

std::shared_ptr<LogSink> LogSink::current() {
    std::lock_guard lock(sinkMutex());
    if (!sinkSlot()) sinkSlot() = makeDefaultSink();
    return sinkSlot();
}

std::shared_ptr<LogSink> LogSink::install(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(sinkMutex());
    std::shared_ptr<LogSink> previous = std::move(sinkSlot());
    sinkSlot() = sink ? std::move(sink) : makeDefaultSink();
    return previous;
}

void LogSink::dispatch(const LogEntry& entry) {
    // Written outside the lock: a sink may be slow, and installing another one must not wait for it.
    if (auto sink = current()) sink->write(entry);
}

}  // namespace brindlecue::platform
