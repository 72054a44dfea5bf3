#pragma once

// Puts the library's resource bundle ("BrindlecueResources.bundle": templates, string tables)
// into the main bundle, as an app ships it.

#include <filesystem>

#include "platform/Bundle.h"

namespace brindlecue::testsupport {

// The project's resources/BrindlecueResources.bundle; returns the copy's folder.
inline std::filesystem::path installResourceBundle() {
    auto source = std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "resources/BrindlecueResources.bundle";
    auto target = platform::Bundle::main()->path() / "BrindlecueResources.bundle";
    std::filesystem::create_directories(target);
    std::filesystem::copy(source, target,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    return target;
}

}  // namespace brindlecue::testsupport
