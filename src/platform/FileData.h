#pragma once

#include <filesystem>
#include <optional>

#include "platform/Value.h"

namespace brindlecue::platform {

// The whole file, read through its descriptor: a small file costs no stream, no stream buffer
// and no locale. Nothing when the file cannot be opened or a read fails part way, so a caller
// never takes the first part of a file for all of it.
std::optional<Data> contentsOfFile(const std::filesystem::path& file);

}  // namespace brindlecue::platform
