#pragma once

#include "platform/Value.h"

namespace brindlecue {

// Lays one JSON object over another. Objects merge key by key at every depth, arrays whose
// elements are all objects merge element by element by position (extra overlay elements are
// appended), and in every other case the overlay's value wins. Keys only the base has keep their
// values. Neither input is changed.
class BLQJSONMerger {
public:
    static platform::Dictionary mergeJSONObjects(const platform::Dictionary& baseDict,
                                                 const platform::Dictionary& overlayDict);
};

}  // namespace brindlecue
