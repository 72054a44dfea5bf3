#pragma once

#include <string>

namespace brindlecue {

// The decisions on super tags that the configuration's super-tag level and filter make. Without
// state; callable from any thread.
class SuperTagStatusAdmin {
public:
    // Level "all" passes every type, "enabled" the types "View" and "Click", "no_clicks" only
    // "View"; any other level ("disabled", the empty text, other letter case) passes nothing.
    static bool isSuperTagEnabled(const std::string& tagLevel, const std::string& tagType);
    // True when the device text contains a match of the server's pattern, read as a regular
    // expression (ICU) without options; an empty pattern matches nothing, and so does an invalid
    // one, with a line in the log.
    static bool isSuperTagFilterMatch(const std::string& serverPattern, const std::string& devicePattern);
};

}  // namespace brindlecue
