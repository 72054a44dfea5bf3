#include "config/BLQAppStatusModel.h"

#include <cmath>

#include "config/BLQConfigDefaults.h"
#include "foundation/DecodingError.h"
#include "foundation/UtilsForAny.h"

namespace brindlecue {

using platform::Value;

namespace {

[[noreturn]] void mismatch(const std::string& key, const char* expected, const Value& found) {
    throw DecodingError(DecodingError::Kind::typeMismatch, "Expected to decode " + std::string(expected) +
                                                               " for key \"" + key + "\" but found " +
                                                               (found.isString() ? "a string"
                                                                : found.isBool() ? "a Boolean"
                                                                                 : found.description()));
}

// A JSON number with a whole value that fits in 64 bits; Booleans are not numbers here.
std::optional<int64_t> wholeNumber(const Value& value) {
    if (auto integer = value.getInteger()) return integer;
    if (!value.isReal()) return std::nullopt;
    const double d = *value.getNumber();
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9.2233720368547758e18 || d >= 9.2233720368547758e18)
        return std::nullopt;
    return static_cast<int64_t>(d);
}

std::optional<int64_t> decodeInteger(const Value& document, const std::string& key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    if (auto whole = wholeNumber(value)) return whole;
    mismatch(key, "Int64", value);
}

std::optional<double> decodeDouble(const Value& document, const std::string& key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    if (value.isInteger() || value.isReal()) return value.getNumber();
    mismatch(key, "Double", value);
}

std::optional<std::string> decodeString(const Value& document, const std::string& key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    if (const std::string* text = value.getString()) return *text;
    mismatch(key, "String", value);
}

std::optional<std::vector<int64_t>> decodeCodes(const Value& document, const std::string& key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    const platform::Array* list = value.getArray();
    if (list == nullptr) mismatch(key, "Array<Int64>", value);
    std::vector<int64_t> codes;
    for (const Value& entry : *list) {
        auto whole = wholeNumber(entry);
        if (!whole) mismatch(key, "Int64", entry);
        codes.push_back(*whole);
    }
    return codes;
}

std::optional<std::vector<BLQLogHandlerModel>> decodeHandlers(const Value& document, const std::string& key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    const platform::Array* list = value.getArray();
    if (list == nullptr) mismatch(key, "Array<BLQLogHandlerModel>", value);
    std::vector<BLQLogHandlerModel> handlers;
    for (const Value& entry : *list) {
        auto handler = BLQLogHandlerModel::decode(entry);
        if (!handler) {
            throw DecodingError(
                DecodingError::Kind::dataCorrupted,
                "Cannot decode a log handler for key \"" + key + "\" from " + entry.description());
        }
        handlers.push_back(*handler);
    }
    return handlers;
}

template <class T, class Print>
std::string field(const char* key, const std::optional<T>& value, Print print) {
    return std::string(key) + ": " + (value ? print(*value) : std::string("nil"));
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string codesText(const std::vector<int64_t>& codes) {
    std::string out = "[";
    for (size_t i = 0; i < codes.size(); ++i) out += (i > 0 ? ", " : "") + std::to_string(codes[i]);
    return out + "]";
}

std::string handlersText(const std::vector<BLQLogHandlerModel>& handlers) {
    std::string out = "[";
    for (size_t i = 0; i < handlers.size(); ++i) {
        out += (i > 0 ? ", " : "") + std::string("{name: ") + toString(handlers[i].name()) +
               ", log_level: " + std::to_string(rawValue(handlers[i].logLevel())) + "}";
    }
    return out + "]";
}

}  // namespace

BLQAppStatusModel::BLQAppStatusModel() : disabledTimeInSeconds(0), appStatusPollInterval(0) {}

BLQAppStatusModel BLQAppStatusModel::decode(const Value& document) {
    if (!document.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a dictionary but found " + document.description());
    }
    BLQAppStatusModel model;
    model.id = decodeInteger(document, "id");
    model.disabledTimeInSeconds = decodeDouble(document, "disabled");
    model.logLevel = decodeInteger(document, "log_level");
    model.logHandlers = decodeHandlers(document, "log_handlers");
    model.feedUpdatedTimeStamp = decodeString(document, "feed_updated");
    model.host = decodeString(document, "host");
    model.installId = decodeString(document, "installid");
    model.installToken = decodeString(document, "install_token");
    model.previewMode = decodeString(document, "preview_mode");
    model.superTagsDisabledLevel = decodeString(document, "supertags_level");
    model.superTagsFilter = decodeString(document, "supertags_filter");
    model.appStatusPollInterval = decodeInteger(document, "app_status_poll_interval");
    model.priorityUserEventCodes = decodeCodes(document, "priority_loglines");
    model.disabledUserEventCodes = decodeCodes(document, "disabled_loglines");
    return model;
}

std::string BLQAppStatusModel::description() const {
    auto number = [](int64_t n) { return std::to_string(n); };
    auto real = [](double d) { return UtilsForAny::numberText(d); };
    return "BLQAppStatusModel(" + field("id", id, number) + ", " +
           field("disabled", disabledTimeInSeconds, real) + ", " + field("log_level", logLevel, number) +
           ", " + field("log_handlers", logHandlers, handlersText) + ", " +
           field("feed_updated", feedUpdatedTimeStamp, quoted) + ", " + field("host", host, quoted) + ", " +
           field("installid", installId, quoted) + ", " + field("install_token", installToken, quoted) +
           ", " + field("preview_mode", previewMode, quoted) + ", " +
           field("supertags_level", superTagsDisabledLevel, quoted) + ", " +
           field("supertags_filter", superTagsFilter, quoted) + ", " +
           field("app_status_poll_interval", appStatusPollInterval, number) + ", " +
           field("priority_loglines", priorityUserEventCodes, codesText) + ", " +
           field("disabled_loglines", disabledUserEventCodes, codesText) + ")";
}

BLQAppStatusResponseModel BLQAppStatusResponseModel::decode(const Value& document) {
    if (!document.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a dictionary but found " + document.description());
    }
    const Value& status = document["app_status"];
    if (status.isAbsent())
        throw DecodingError(DecodingError::Kind::keyNotFound, "No value for key \"app_status\"");
    if (status.isNull()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            "Expected a value for key \"app_status\" but found null");
    }
    return BLQAppStatusResponseModel{BLQAppStatusModel::decode(status)};
}

std::optional<Value> writtenAndReadBack(const Value& json) {
    auto text = json.toJSON();
    if (!text) return std::nullopt;
    return Value::fromJSON(*text);
}

std::string rawValue(BLQAppStatusStringSettings setting) {
    switch (setting) {
        case BLQAppStatusStringSettings::defaultHost:
            return BLQConfigDefaults::host();
        case BLQAppStatusStringSettings::superTagEnabledDefault:
            return "enabled";
        case BLQAppStatusStringSettings::superTagFilterDefault:
            return "(.*)";
    }
    return "";
}

std::optional<BLQAppStatusStringSettings> BLQAppStatusStringSettingsFromRawValue(std::string_view text) {
    for (auto setting :
         {BLQAppStatusStringSettings::defaultHost, BLQAppStatusStringSettings::superTagEnabledDefault,
          BLQAppStatusStringSettings::superTagFilterDefault}) {
        if (rawValue(setting) == text) return setting;
    }
    return std::nullopt;
}

std::optional<BLQAppStatusIntSettings> BLQAppStatusIntSettingsFromRawValue(int64_t value) {
    if (value == static_cast<int64_t>(BLQAppStatusIntSettings::defaultInterval))
        return BLQAppStatusIntSettings::defaultInterval;
    return std::nullopt;
}

}  // namespace brindlecue
