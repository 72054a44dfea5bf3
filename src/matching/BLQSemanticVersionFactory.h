#pragma once

#include <optional>
#include <string>

#include "matching/BLQSemanticVersion.h"

namespace brindlecue {

class BLQSemanticVersionFactory {
public:
    // Reads a version text: every lower-case "v" is dropped, the rest is split at "." (empty
    // pieces dropped) into major, minor and patch, the patch piece ends at its first "+", and the
    // build metadata is the second "+"-separated piece of the whole text. Missing parts are 0 and
    // parts that are not plain integers read as 0.
    //
    // Nothing for a text without any piece, for a patch piece made only of "+", and for a version
    // of more than three dot-separated parts before its build metadata ("1.2.3.4").
    static std::optional<BLQSemanticVersion> create(const std::string& stringValue);
};

}  // namespace brindlecue
