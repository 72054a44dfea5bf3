#pragma once

#include <string>
#include <utility>

namespace brindlecue {

// A tag: a key and its value as text. The key is compared exactly (case-sensitive) everywhere.
class BLQTagDTO {
public:
    BLQTagDTO(std::string key, std::string value) : key(std::move(key)), value(std::move(value)) {}

    std::string key;
    std::string value;
};

}  // namespace brindlecue
