#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/Value.h"

namespace brindlecue {

class BLQTagDTO;

// The value form of a tag, as the property-list tag file keeps it: a dictionary with the two
// string entries "key" and "value".
struct SwiftTag {
    std::string key;
    std::string value;

    std::shared_ptr<BLQTagDTO> toObjcTag() const;

    platform::Value encode() const { return platform::Value::dictionary({{"key", key}, {"value", value}}); }
    // None unless the value is a dictionary whose "key" and "value" are both texts.
    static std::optional<SwiftTag> decode(const platform::Value& value) {
        const std::string* k = value["key"].getString();
        const std::string* v = value["value"].getString();
        if (!value.isDictionary() || k == nullptr || v == nullptr) return std::nullopt;
        return SwiftTag{*k, *v};
    }

    bool operator==(const SwiftTag&) const = default;
};

// A tag: a key and its value as text. The key is compared exactly (case-sensitive) everywhere.
class BLQTagDTO {
public:
    BLQTagDTO(std::string key, std::string value) : key(std::move(key)), value(std::move(value)) {}

    SwiftTag toSwiftTag() const { return SwiftTag{key, value}; }

    std::string key;
    std::string value;
};

inline std::shared_ptr<BLQTagDTO> SwiftTag::toObjcTag() const {
    return std::make_shared<BLQTagDTO>(key, value);
}

}  // namespace brindlecue
