#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Value.h"

namespace brindlecue::platform {

// UUIDs, MD5 digests and base64, as the platform's UUID, CommonCrypto and data encodings give them.
class Crypto {
public:
    // A random (version 4) UUID in upper case: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    static std::string uuidString();
    // The same in lower case, as the library stores the ids it makes:
    // "e621e1f8-c36c-495a-93fc-0c247a3e6e5f".
    static std::string lowercaseUUIDString();
    // The MD5 digest as 32 lower-case hex digits.
    static std::string md5Hex(const Data& bytes);
    static std::string md5Hex(std::string_view text);
    // Standard alphabet, padded with "=".
    static std::string base64Encode(const Data& bytes);
    // Strict: only the standard alphabet, a length that is a multiple of 4 and "=" only as the
    // final one or two characters; anything else gives none.
    static std::optional<Data> base64Decode(std::string_view text);
};

}  // namespace brindlecue::platform
