#pragma once

// A deterministic text measurer for tests that need text sizes but not real fonts: every character
// is half the font's point size wide (0.6 of it when bold), every line 1.25 times the point size
// high; text wraps by whole characters at the width limit (0: no limit). Installed for the
// lifetime of the object; it records every call.

#include <mutex>
#include <string>
#include <vector>

#include "platform/uikit/UIFont.h"

namespace brindlecue::testsupport {

class ScopedTextMeasurer {
public:
    struct Call {
        std::string text;
        platform::UIFont font;
        double maxWidth = 0;
        int lines = 0;
    };

    ScopedTextMeasurer();
    ~ScopedTextMeasurer();
    ScopedTextMeasurer(const ScopedTextMeasurer&) = delete;
    ScopedTextMeasurer& operator=(const ScopedTextMeasurer&) = delete;

    std::vector<Call> calls() const;

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

}  // namespace brindlecue::testsupport
