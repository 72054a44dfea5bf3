#include "platform/uikit/UIColor.h"

#include "platform/uikit/Geometry.h"

namespace brindlecue::platform {

std::string UIColor::description() const {
    return "UIExtendedSRGBColorSpace " + formatCGFloat(red) + " " + formatCGFloat(green) + " " +
           formatCGFloat(blue) + " " + formatCGFloat(alpha);
}

}  // namespace brindlecue::platform
