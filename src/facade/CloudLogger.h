#pragma once

#include <memory>
#include <string>

#include "foundation/BLQILogger.h"

namespace brindlecue {

class BLQIConfigManager;

// Reports a message to the server as an error user event when the first "cloud" log handler of
// the configuration lets its level pass. Without such a handler nothing is sent.
class CloudLogger final : public BLQILogger {
public:
    static constexpr const char* kDescription = "Sent via the 'cloud' log handler";

    explicit CloudLogger(std::shared_ptr<BLQIConfigManager> configManager);

    void printLog(const std::string& message, BLQLoggingLevel level) override;
    bool wouldLog(BLQLoggingLevel level) const override;

private:
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
