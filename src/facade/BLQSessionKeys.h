#pragma once

namespace brindlecue {

class BLQSessionKeys {
public:
    // User-defaults key of the moment the app last became active, in seconds since
    // 2001-01-01 00:00:00 UTC; 0 once the app-complete event has been reported.
    static constexpr const char* sessionVisibleTime = "BLQ_PREVIOUS_VISIBLE_TIME";

    BLQSessionKeys() = delete;
};

}  // namespace brindlecue
