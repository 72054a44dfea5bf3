#pragma once

// What the tag stores share: the strict integer reading of a stored value, the refusal of a value
// without text, and the completion that logs each save of a list.

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/BLQILoggable.h"
#include "storage/BLQITagDataStore.h"

namespace brindlecue::tagstore {

// An optional sign and decimal digits, the whole text, within the 64-bit range; none otherwise.
std::optional<int64_t> strictInteger(const std::string& text);
// The error a save completes with when its value has no text (a Boolean, a dictionary, ...).
platform::Error valueWithoutText(const std::string& key);
// Logs "Tag: Multi-save - Saved tag, ..." or "Tag: Multi-save - Failed to save tag, ..." for the
// record at level 2.
BLQITagDataStore::Completion multiSaveCompletion(std::shared_ptr<const BLQILoggable> logger,
                                                 std::shared_ptr<BLQTagDTO> record);

}  // namespace brindlecue::tagstore
