#pragma once

#include <string>

namespace brindlecue {

struct UIDeviceKJExt {
    // The system value of that name as text; the empty text for a name the system does not know.
    static std::string getSysInfoByName(const char* name);
    // The hardware model identifier ("hw.machine").
    static std::string platformString();
};

}  // namespace brindlecue
