#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "foundation/DecodableTypeStringOrFloatOrBool.h"
#include "network/BLQWebSocketEventType.h"
#include "platform/Value.h"

namespace brindlecue {

// The envelope of a websocket message the library sends: a fresh lower-case UUID as id, the type,
// a time stamp in whole seconds since 1970, the app key, the install id when known, and the
// payload.
class BLQWebSocketEventModel {
public:
    using Payload = std::map<std::string, DecodableTypeStringOrFloatOrBool>;

    BLQWebSocketEventModel(BLQWebSocketEventType type, int64_t timestamp, std::string appKey,
                           std::optional<std::string> installId, Payload payload);

    // The envelope as a JSON object: "id", "type", "timestamp", "app_key", "install_id" (only when
    // present) and "payload". None when it cannot be coded (a payload number that is not finite);
    // the reason goes to standard output as "Error: <text>".
    std::optional<platform::Value> asDictionary() const;

    // The coded envelope, members in the order above.
    platform::Value encode() const;
    // Throws DecodingError for a missing member (but "install_id"), a member of the wrong JSON
    // type or a type outside the 13 raw values.
    static BLQWebSocketEventModel decode(const platform::Value& value);

    // The envelope's text form for log lines.
    std::string description() const;

    std::string id;
    BLQWebSocketEventType type;
    int64_t timestamp;
    std::string appKey;
    std::optional<std::string> installId;
    Payload payload;
};

}  // namespace brindlecue
