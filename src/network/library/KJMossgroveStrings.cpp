#include "network/library/KJMossgroveStrings.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/Value.h"

namespace brindlecue {

std::string KJMossgroveLocalizedString(const std::string& key) {
    return KJMainBundleLocalizedString(key, "KJMossgrove");
}

std::string KJMainBundleLocalizedString(const std::string& key, const std::string& table) {
    auto bundle = platform::Bundle::main();
    if (!bundle) return key;
    std::vector<std::string> folders;
    for (const std::string& tag : platform::Device::preferredLanguages()) {
        folders.push_back(tag);
        folders.push_back(tag.substr(0, tag.find('-')));
    }
    folders.push_back("en");
    folders.push_back("Base");
    for (const std::string& folder : folders) {
        std::ifstream in(bundle->path() / (folder + ".lproj") / (table + ".strings"), std::ios::binary);
        if (!in) continue;
        platform::Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto strings = platform::Value::fromPropertyList(bytes);
        if (!strings || !strings->isDictionary()) continue;
        if (const std::string* text = (*strings)[key].getString()) return *text;
        return key;
    }
    return key;
}

}  // namespace brindlecue
