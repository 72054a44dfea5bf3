#pragma once

#include "platform/uikit/Geometry.h"

namespace brindlecue {

// What the text element's layout needs of the tip's padded label (PaddingLabel, a label that draws
// its text inside edge insets): a label that takes content insets. The padded label implements it
// beside deriving from the platform's label.
class BLQIPaddingLabel {
public:
    virtual ~BLQIPaddingLabel() = default;
    virtual void setContentEdgeInsets(const platform::UIEdgeInsets& insets) = 0;
};

}  // namespace brindlecue
