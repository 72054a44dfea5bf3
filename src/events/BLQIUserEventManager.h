#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue {

class BLQTagDTO;

// The one entry for user events. Every operation returns at once; recording and sending go on
// on the manager's own queues. Details are a dictionary with text keys, or absent.
class BLQIUserEventManager {
public:
    // Accepted and never called.
    using Handler =
        std::function<void(const platform::Value& result, const std::optional<platform::Error>& error)>;

    // The code of every error event.
    static constexpr int64_t kErrorEventCode = 9103;

    virtual ~BLQIUserEventManager() = default;

    virtual void sendUserEventWithCode(int64_t code, const std::string& message,
                                       const platform::Value& details) = 0;
    virtual void sendUserEventWithCode(int64_t code, const std::string& message,
                                       const platform::Value& details, Handler handler) = 0;
    // A tag event (added, incremented, deleted) carries its tag; tag may be null.
    virtual void sendUserEventWithCode(int64_t code, const std::shared_ptr<BLQTagDTO>& tag,
                                       const std::string& message, const platform::Value& details,
                                       Handler handler) = 0;
    // An error event whose details are {"message": message, "description": description}.
    virtual void sendUserEventErrorWithMessage(const std::string& message,
                                               const std::string& description) = 0;
    virtual void sendUserEventErrorWithMessageDetails(const std::string& message,
                                                      const platform::Value& details) = 0;
};

}  // namespace brindlecue
