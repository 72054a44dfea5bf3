#pragma once

namespace brindlecue::platform {

// A colour in the device RGB space, each component from 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const Color&) const = default;
};

}  // namespace brindlecue::platform
