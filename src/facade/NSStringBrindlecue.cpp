#include "facade/NSStringBrindlecue.h"

#include "platform/Bundle.h"

namespace brindlecue {

std::string NSStringBrindlecue::refinePageName(std::string_view name) {
    if (name.find('.') == std::string_view::npos) return std::string(name);
    const platform::Value bundleName =
        platform::Bundle::main()->objectForInfoDictionaryKey(platform::Bundle::kNameKey);
    const std::string* module = bundleName.getString();
    if (module == nullptr) return std::string(name);
    const std::string prefix = *module + ".";
    if (name.starts_with(prefix)) return std::string(name.substr(prefix.size()));
    return std::string(name);
}

}  // namespace brindlecue
