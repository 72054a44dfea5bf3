#pragma once

#include "platform/uikit/Geometry.h"

namespace brindlecue {

// What the library's own screens offer their keyboard adjuster (BLQBaseVCImp): whether the view
// moves out of the keyboard's way, and the keyboard's moves, which a screen may override.
class BLQBaseVC {
public:
    virtual ~BLQBaseVC() = default;
    virtual void keyboardDidShowFrom(const platform::CGRect& begin, const platform::CGRect& end,
                                     double duration) = 0;
    virtual void keyboardDidHideFrom(const platform::CGRect& begin, const platform::CGRect& end,
                                     double duration) = 0;
    virtual bool isViewAdjustForKeyboard() const = 0;
    virtual void setIsViewAdjustForKeyboard(bool adjust) = 0;
};

}  // namespace brindlecue
