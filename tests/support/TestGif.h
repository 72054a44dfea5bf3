#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::testsupport {

// One frame of a test GIF: a rectangle of the canvas filled with one palette colour.
struct TestGifFrame {
    int left = 0, top = 0, width = 0, height = 0;  // 0 width or height: the whole canvas
    std::optional<int> delayCentiseconds;          // none: no graphic control block at all
    uint8_t color = 0;                             // kTestGifPalette index
};

// The palette of test GIFs: red, blue, green, black (opaque ARGB words).
inline constexpr uint32_t kTestGifPalette[4] = {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF000000u};

// A GIF written with giflib itself, with the NETSCAPE loop block when a loop count is given.
platform::Data makeTestGif(int width, int height, const std::vector<TestGifFrame>& frames,
                           std::optional<int> loopCount = std::nullopt);

}  // namespace brindlecue::testsupport
