#include "foundation/UIDeviceKJExt.h"

#include <cstring>

#include "platform/Device.h"

namespace brindlecue {

std::string UIDeviceKJExt::getSysInfoByName(const char* name) {
    // The only system value the library asks for.
    if (name != nullptr && std::strcmp(name, "hw.machine") == 0) return platform::Device::machine();
    return "";
}

std::string UIDeviceKJExt::platformString() {
    return getSysInfoByName("hw.machine");
}

}  // namespace brindlecue
