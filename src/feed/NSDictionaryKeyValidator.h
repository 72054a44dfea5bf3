#pragma once

#include <string_view>

#include "platform/Value.h"

namespace brindlecue {

// The dictionary's value for the key when the key is present (a stored null included), else the
// empty text. Anything but a dictionary has no keys.
platform::Value getValueIfkeyExists(const platform::Value& dictionary, std::string_view key);

}  // namespace brindlecue
