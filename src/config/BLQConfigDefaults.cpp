#include "config/BLQConfigDefaults.h"

#include "platform/Bundle.h"

namespace brindlecue {

const std::string& BLQConfigDefaults::host() {
    static const std::string* value = new std::string("https://api.brindlecue.com");
    return *value;
}

std::string BLQConfigDefaults::appHost() {
    if (auto bundle = platform::Bundle::main()) {
        platform::Value configured = bundle->objectForInfoDictionaryKey("BLQ_CONFIG_ALIVE_HOST");
        if (const std::string* text = configured.getString(); text && !text->empty()) return *text;
    }
    return host();
}

const std::map<std::string, std::vector<std::string>>& BLQConfigDefaults::hostAliases() {
    static const auto* value = new std::map<std::string, std::vector<std::string>>{
        {host(), {"https://api.brindlecue.io", "http://api.brindlecue.io"}},
    };
    return *value;
}

const std::vector<int64_t>& BLQConfigDefaults::priorityUserEventCodes() {
    static const auto* value =
        new std::vector<int64_t>{8102, 8104, 8103, 8051, 8999, 8997, 8998, 8200, 8201, 8050};
    return *value;
}

const std::vector<int64_t>& BLQConfigDefaults::disabledUserEventCodes() {
    static const auto* value = new std::vector<int64_t>{};
    return *value;
}

}  // namespace brindlecue
