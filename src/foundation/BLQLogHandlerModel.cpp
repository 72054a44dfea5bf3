#include "foundation/BLQLogHandlerModel.h"

namespace brindlecue {

using platform::Value;

const char* toString(BLQLogHandlerName name) {
    switch (name) {
        case BLQLogHandlerName::cloud:
            return "cloud";
        case BLQLogHandlerName::stdout_:
            return "stdout";
    }
    return "";
}

std::optional<BLQLogHandlerName> BLQLogHandlerNameFromString(std::string_view text) {
    if (text == "cloud") return BLQLogHandlerName::cloud;
    if (text == "stdout") return BLQLogHandlerName::stdout_;
    return std::nullopt;
}

std::optional<BLQLogHandlerModel> BLQLogHandlerModel::decode(const Value& document) {
    if (!document.isDictionary()) return std::nullopt;
    const std::string* nameText = document["name"].getString();
    if (nameText == nullptr) return std::nullopt;
    auto name = BLQLogHandlerNameFromString(*nameText);
    if (!name) return std::nullopt;

    // The level must be an integral JSON number; a real with a fraction or a Boolean is refused.
    const Value& levelValue = document["log_level"];
    std::optional<int64_t> raw = levelValue.getInteger();
    if (!raw && levelValue.isReal()) {
        double d = *levelValue.getNumber();
        if (d >= -1e18 && d <= 1e18 && d == static_cast<double>(static_cast<int64_t>(d))) {
            raw = static_cast<int64_t>(d);
        }
    }
    if (!raw) return std::nullopt;
    auto level = BLQLoggingLevelFromRawValue(*raw);
    if (!level) return std::nullopt;
    return BLQLogHandlerModel(*name, *level);
}

Value BLQLogHandlerModel::encode() const {
    return Value::dictionary({{"name", toString(name_)}, {"log_level", rawValue(logLevel_)}});
}

std::optional<Value> BLQLogHandlerModel::dictionary() const {
    auto json = encode().toJSON();
    if (!json) return std::nullopt;
    auto parsed = Value::fromJSON(*json);
    if (!parsed || !parsed->isDictionary()) return std::nullopt;
    return parsed;
}

}  // namespace brindlecue
