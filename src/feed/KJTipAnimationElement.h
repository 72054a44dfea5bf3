#pragma once

#include <cstdint>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

// How a tip enters and leaves. Types: 1 fade, 2 slide, 3 explode, 4 compress. Directions: 1 left,
// 2 top, 3 right, 4 bottom (not the numbering of a step's placement). Durations in seconds.
class KJTipAnimationElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipAnimationElement)

    int32_t inType = 0;
    double inDuration = 0;
    int32_t inDirection = 0;
    int32_t outType = 0;
    double outDuration = 0;
    int32_t outDirection = 0;
};

}  // namespace brindlecue
