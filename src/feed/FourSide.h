#pragma once

namespace brindlecue {

// The edges of a model record's padding or margin, in points. The field order (top, bottom, left,
// right) is the record's own, not the usual top, left, bottom, right.
struct FourSide {
    double top = 0;
    double bottom = 0;
    double left = 0;
    double right = 0;

    bool operator==(const FourSide&) const = default;
};

}  // namespace brindlecue
