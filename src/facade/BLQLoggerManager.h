#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/BLQILogger.h"
#include "foundation/BLQILoggerManager.h"

namespace brindlecue {

class BLQIConfigManager;

// Hands every message to the default loggers (LoggersComposer), in order, on the caller's thread.
class BLQLoggerManager final : public BLQILoggerManager {
public:
    explicit BLQLoggerManager(std::shared_ptr<BLQIConfigManager> configManager);

    // A raw level outside 0 to 5 names no level; such a message is dropped.
    void log(const std::string& message, int64_t level) override;
    void log(const std::string& message, BLQLoggingLevel level);
    bool wouldLog(int64_t level) const override;

    const std::vector<std::shared_ptr<BLQILogger>>& loggers() const { return loggers_; }

private:
    std::shared_ptr<BLQIConfigManager> configManager_;
    std::vector<std::shared_ptr<BLQILogger>> loggers_;
};

}  // namespace brindlecue
