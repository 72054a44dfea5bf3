#pragma once

#include <string>

#include "platform/Value.h"

namespace brindlecue {

// Checks a received document against the record that was sent (none when nothing was sent).
template <class Sent>
class BLQIResponseValidator {
public:
    using SentType = Sent;

    virtual ~BLQIResponseValidator() = default;
    // True when the received document is acceptable.
    virtual bool validateResponse(const platform::Value& received, const Sent* sent,
                                  const std::string& errorMessagePrefix) const = 0;
};

}  // namespace brindlecue
