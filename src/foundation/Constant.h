#pragma once

#include <cstdint>

namespace brindlecue {

struct Constant {
    struct AppTag {
        // The tag of the library's own panel views; view-tree walks skip such a view and
        // everything under it.
        static constexpr int64_t sdkViewTag = 1000300330;
    };
    struct Address {
        // The address text of a view node without an object.
        static constexpr const char* nullAddressPrefix = "0x000000000";
    };
};

}  // namespace brindlecue
