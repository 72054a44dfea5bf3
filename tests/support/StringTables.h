#pragma once

// Puts string tables into the main bundle's "en.lproj", as an app ships them.

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Bundle.h"
#include "platform/Value.h"

namespace brindlecue::testsupport {

// The library's own "KJMossgrove" table from the project's resources.
inline void installMossgroveStringTable() {
    auto source = std::filesystem::path(BRINDLECUE_SOURCE_DIR) /
                  "resources/BrindlecueResources.bundle/en.lproj/KJMossgrove.strings";
    auto target = platform::Bundle::main()->path() / "en.lproj";
    std::filesystem::create_directories(target);
    std::filesystem::copy_file(source, target / "KJMossgrove.strings",
                               std::filesystem::copy_options::overwrite_existing);
}

// A table "<name>.strings" holding the given translations.
inline void installStringTable(const std::string& name, const platform::Value& translations) {
    auto target = platform::Bundle::main()->path() / "en.lproj";
    std::filesystem::create_directories(target);
    auto bytes = translations.toPropertyList(platform::PropertyListFormat::XML).value_or(platform::Data());
    std::ofstream(target / (name + ".strings"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace brindlecue::testsupport
