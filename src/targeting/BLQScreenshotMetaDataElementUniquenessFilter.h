#pragma once

#include <vector>

#include "platform/Value.h"

namespace brindlecue {

// Thins a list of screenshot target-metadata records so that targets on the same rectangle with
// the same type are reduced (see MetaDataCoordinate). The first record met at a rectangle and
// type is kept in its place; of the later ones, the first that carries an accessibility
// identifier (even an empty one) is kept, or all of them when none does, after every first
// occurrence. A record that cannot be read as a ScreenshotMetaDataElement is dropped with the line
// "Error decoding JSON: <error>" on standard output. The records come back with all thirteen
// keys, null for an absent optional one. Holds nothing; any thread.
class BLQScreenshotMetaDataElementUniquenessFilter {
public:
    static std::vector<platform::Dictionary> getUniqueElementsOnly(
        const std::vector<platform::Dictionary>& arrayOfDictionaries);
};

// Part of the library's public surface; holds nothing.
class TargetModel {
public:
    TargetModel() = default;
};

}  // namespace brindlecue
