#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/BLQLoggingLevel.h"
#include "platform/Value.h"

namespace brindlecue {

// Which log handler a setting is for; written and read in documents as its text.
enum class BLQLogHandlerName { cloud, stdout_ };

// "cloud" or "stdout".
const char* toString(BLQLogHandlerName name);
// None for any other text.
std::optional<BLQLogHandlerName> BLQLogHandlerNameFromString(std::string_view text);

// One log-handler setting of the app-status document: the handler and the lowest message level
// it passes. Documents hold it as {"name": "cloud", "log_level": 4}.
class BLQLogHandlerModel {
public:
    BLQLogHandlerModel(BLQLogHandlerName name, BLQLoggingLevel logLevel) : name_(name), logLevel_(logLevel) {}

    BLQLogHandlerName name() const { return name_; }
    void setName(BLQLogHandlerName name) { name_ = name; }
    BLQLoggingLevel logLevel() const { return logLevel_; }
    void setLogLevel(BLQLoggingLevel level) { logLevel_ = level; }

    // Decoding: both keys are required; a name other than the two known ones, a level that is
    // not an integer from 0 to 5, or a value that is not a dictionary gives none.
    static std::optional<BLQLogHandlerModel> decode(const platform::Value& document);
    // {"name": <text>, "log_level": <integer>}.
    platform::Value encode() const;
    // The encoded model written as JSON and read back into a dictionary; none when either step
    // fails.
    std::optional<platform::Value> dictionary() const;

    bool operator==(const BLQLogHandlerModel&) const = default;

private:
    BLQLogHandlerName name_;
    BLQLoggingLevel logLevel_;
};

}  // namespace brindlecue
