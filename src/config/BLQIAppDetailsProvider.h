#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brindlecue {

// App and device facts, read afresh from their sources every time one is asked for.
class BLQIAppDetailsProvider {
public:
    virtual ~BLQIAppDetailsProvider() = default;

    virtual std::optional<std::string> appKey() const = 0;
    virtual std::optional<int64_t> appId() const = 0;
    virtual std::optional<std::string> carrier() const = 0;
    virtual std::string clientVersion() const = 0;
    virtual std::string developmentPlatform() const = 0;
    virtual std::optional<std::string> installId() const = 0;
    virtual std::optional<std::string> installToken() const = 0;
    virtual std::optional<std::string> model() const = 0;
    virtual std::string sdkVersion() const = 0;
};

}  // namespace brindlecue
