#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIImage.h"

namespace brindlecue {

// The image at the scale its key names: 3 for "@3x.", else 2 for "@2x.", else 1 (keys shorter
// than 8 characters are always 1). The frames of an animated image are rescaled alike and the
// result keeps its duration and loop count.
std::shared_ptr<platform::UIImage> KJSDScaledImageForKey(const std::string& key,
                                                         const std::shared_ptr<platform::UIImage>& image);

}  // namespace brindlecue
