#include "support/RecordingLoggerManager.h"

#include <utility>

#include "facade/BLQFacadeLink.h"

namespace brindlecue::testsupport {

void PrintTo(const LogLine& line, std::ostream* os) { *os << "{\"" << line.message << "\", " << line.level << "}"; }

std::shared_ptr<RecordingLoggerManager> RecordingLoggerManager::install() {
    auto manager = std::make_shared<RecordingLoggerManager>();
    BLQFacadeLink::setLoggerManager(manager);
    return manager;
}

void RecordingLoggerManager::log(const std::string& message, int64_t level) {
    std::lock_guard lock(mutex_);
    lines_.push_back({message, level});
}

std::vector<LogLine> RecordingLoggerManager::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<LogLine> RecordingLoggerManager::linesStartingWith(const std::string& prefix) const {
    std::vector<LogLine> out;
    for (auto& line : lines())
        if (line.message.rfind(prefix, 0) == 0) out.push_back(std::move(line));
    return out;
}

bool RecordingLoggerManager::contains(const std::string& message, int64_t level) const {
    for (const auto& line : lines()) {
        if (line == LogLine{message, level}) return true;
    }
    return false;
}

size_t RecordingLoggerManager::count(const std::string& prefix) const { return linesStartingWith(prefix).size(); }

void RecordingLoggerManager::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

ScopedLoggerManager::ScopedLoggerManager(std::shared_ptr<BLQILoggerManager> manager) {
    BLQFacadeLink::setLoggerManager(std::move(manager));
}

ScopedLoggerManager::~ScopedLoggerManager() { BLQFacadeLink::setLoggerManager(nullptr); }

}  // namespace brindlecue::testsupport
