#pragma once

#include <memory>

#include "platform/uikit/Geometry.h"

namespace brindlecue::platform {

class CGContext;
class UIImage;

// The platform's UIKit drawing context stack (one per thread). Drawing calls of UIKit
// (UIBezierPath, UIImage::drawInRect, text drawing, drawRect) go to the current context.

// Opens an image context of the size in points at the scale (0: the main screen's scale) and
// makes it current. An empty size opens nothing.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale);
// At scale 1, not opaque.
void UIGraphicsBeginImageContext(CGSize size);
// The image of the current image context, at its scale; nothing when the current context is not
// an image context.
std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext();
// Closes the current image context (a context pushed with UIGraphicsPushContext stays).
void UIGraphicsEndImageContext();
// The current context, or nothing.
std::shared_ptr<CGContext> UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(const std::shared_ptr<CGContext>& context);
void UIGraphicsPopContext();

// Fills the rectangle with the current context's fill colour.
void UIRectFill(const CGRect& rect);

}  // namespace brindlecue::platform
