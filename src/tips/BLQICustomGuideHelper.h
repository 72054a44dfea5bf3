#pragma once

#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

// Expands a guide the host adds from code into a campaign feed item.
class BLQICustomGuideHelper {
public:
    virtual ~BLQICustomGuideHelper() = default;
    // The feed item of the app key made from the custom guide document, or none when the
    // document cannot be expanded.
    virtual std::optional<platform::Dictionary> createPayloadForAppKey(const std::string& appKey,
                                                                       const platform::Value& customPayload) const = 0;
};

}  // namespace brindlecue
