#include "network/BLQWebSocketEventModel.h"

#include <cmath>
#include <iostream>

#include "foundation/DecodingError.h"
#include "platform/Crypto.h"
#include "platform/Error.h"

namespace brindlecue {

using platform::Value;

namespace {

const Value& requiredMember(const Value& object, const char* key) {
    const Value& member = object[key];
    if (member.isAbsent()) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            std::string("No value associated with key \"") + key + "\".");
    }
    if (member.isNull()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            std::string("Expected a value under \"") + key + "\" but found null.");
    }
    return member;
}

std::string requiredString(const Value& object, const char* key) {
    const Value& member = requiredMember(object, key);
    if (!member.isString()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            std::string("Expected to decode String under \"") + key + "\".");
    }
    return *member.getString();
}

}  // namespace

BLQWebSocketEventModel::BLQWebSocketEventModel(BLQWebSocketEventType type, int64_t timestamp,
                                               std::string appKey, std::optional<std::string> installId,
                                               Payload payload)
    : id(platform::Crypto::lowercaseUUIDString()),
      type(type),
      timestamp(timestamp),
      appKey(std::move(appKey)),
      installId(std::move(installId)),
      payload(std::move(payload)) {}

Value BLQWebSocketEventModel::encode() const {
    Value out = Value::dictionary();
    out.set("id", id);
    out.set("type", std::string(rawValue(type)));
    out.set("timestamp", timestamp);
    out.set("app_key", appKey);
    if (installId) out.set("install_id", *installId);
    Value body = Value::dictionary();
    for (const auto& [key, value] : payload) body.set(key, value.encode());
    out.set("payload", std::move(body));
    return out;
}

std::optional<Value> BLQWebSocketEventModel::asDictionary() const {
    platform::Error error;
    auto text = encode().toJSON(false, &error);
    std::optional<Value> parsed;
    if (text) parsed = Value::fromJSON(*text, &error);
    if (!parsed) {
        std::cout << "Error: " << error.localizedDescription() << std::endl;
        return std::nullopt;
    }
    if (!parsed->isDictionary()) return std::nullopt;
    return parsed;
}

BLQWebSocketEventModel BLQWebSocketEventModel::decode(const Value& value) {
    if (!value.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a dictionary but found another kind.");
    }
    std::string decodedId = requiredString(value, "id");
    std::string typeText = requiredString(value, "type");
    auto decodedType = BLQWebSocketEventTypeFromRawValue(typeText);
    if (!decodedType) {
        throw DecodingError(DecodingError::Kind::dataCorrupted,
                            "Cannot initialize BLQWebSocketEventType from invalid String value " + typeText);
    }
    const Value& time = requiredMember(value, "timestamp");
    std::optional<int64_t> decodedTime;
    if (time.isInteger()) {
        decodedTime = time.getInteger();
    } else if (time.isReal() && std::trunc(time.doubleValue()) == time.doubleValue() &&
               std::fabs(time.doubleValue()) < 9.2e18) {
        decodedTime = static_cast<int64_t>(time.doubleValue());
    }
    if (!decodedTime)
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode Int64 under \"timestamp\".");
    std::string decodedAppKey = requiredString(value, "app_key");
    std::optional<std::string> decodedInstallId;
    const Value& install = value["install_id"];
    if (!install.isNil()) {
        if (!install.isString()) {
            throw DecodingError(DecodingError::Kind::typeMismatch,
                                "Expected to decode String under \"install_id\".");
        }
        decodedInstallId = *install.getString();
    }
    const Value& body = requiredMember(value, "payload");
    if (!body.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a dictionary under \"payload\".");
    }
    Payload decodedPayload;
    for (const auto& [key, element] : *body.getDictionary()) {
        decodedPayload.insert_or_assign(key, DecodableTypeStringOrFloatOrBool::decode(element));
    }
    BLQWebSocketEventModel model(*decodedType, *decodedTime, std::move(decodedAppKey),
                                 std::move(decodedInstallId), std::move(decodedPayload));
    model.id = std::move(decodedId);
    return model;
}

std::string BLQWebSocketEventModel::description() const {
    return encode().description();
}

}  // namespace brindlecue
