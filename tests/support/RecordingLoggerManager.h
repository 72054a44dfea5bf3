#pragma once

// A logger manager that keeps every (message, level) line handed to it, from any thread, and a
// scope that makes a logger manager the facade's for its lifetime.

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/BLQILoggerManager.h"

namespace brindlecue::testsupport {

struct LogLine {
    std::string message;
    int64_t level = 0;
    bool operator==(const LogLine&) const = default;
};

// Lets test failures show the line rather than its bytes.
void PrintTo(const LogLine& line, std::ostream* os);

class RecordingLoggerManager : public BLQILoggerManager {
public:
    // A new recorder, made the facade's logger manager for the rest of the test.
    static std::shared_ptr<RecordingLoggerManager> install();

    void log(const std::string& message, int64_t level) override;

    std::vector<LogLine> lines() const;
    // The lines that begin with the prefix (an area such as "Tag: "), in order.
    std::vector<LogLine> linesStartingWith(const std::string& prefix) const;
    bool contains(const std::string& message, int64_t level) const;
    // How many lines begin with the prefix.
    size_t count(const std::string& prefix) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

// The facade's logger manager while it exists; none afterwards.
class ScopedLoggerManager {
public:
    explicit ScopedLoggerManager(std::shared_ptr<BLQILoggerManager> manager);
    ~ScopedLoggerManager();
    ScopedLoggerManager(const ScopedLoggerManager&) = delete;
    ScopedLoggerManager& operator=(const ScopedLoggerManager&) = delete;
};

}  // namespace brindlecue::testsupport
