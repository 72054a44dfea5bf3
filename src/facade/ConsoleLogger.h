#pragma once

#include <memory>
#include <string>

#include "foundation/BLQILogger.h"
#include "platform/SystemLog.h"

namespace brindlecue {

class BLQIConfigManager;

// Writes messages at or above the configured log level to the unified system log, prefixed with
// "(Brindlecue) ". A configured level of 1 (or 0) writes every message. The level is read anew for
// every message.
class ConsoleLogger final : public BLQILogger {
public:
    explicit ConsoleLogger(std::shared_ptr<BLQIConfigManager> configManager);

    void printLog(const std::string& message, BLQLoggingLevel level) override;
    bool wouldLog(BLQLoggingLevel level) const override;

private:
    platform::SystemLog logger_;
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
