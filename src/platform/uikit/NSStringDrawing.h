#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSParagraphStyle.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue::platform {

// The attributes of a drawn or measured string: font (the platform's default, Helvetica 12, is
// drawn by the system font), colour (black) and paragraph style.
struct NSStringAttributes {
    std::optional<UIFont> font;
    std::optional<UIColor> foregroundColor;
    NSTextAlignment alignment = NSTextAlignment::Natural;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::ByWordWrapping;
    double lineSpacing = 0;
};

enum NSStringDrawingOptions : uint32_t {
    NSStringDrawingUsesLineFragmentOrigin = 1 << 0,
    NSStringDrawingUsesFontLeading = 1 << 1,
    NSStringDrawingTruncatesLastVisibleLine = 1 << 5,
};

// The platform's string drawing additions.
struct NSStringDrawing {
    // One line (line breaks in the text start new lines).
    static CGSize sizeWithAttributes(const std::string& text, const NSStringAttributes& attributes);
    // The text wrapped to the size's width (with the line-fragment-origin option; without it the
    // text is one line), its height cut to the size's height. The origin is zero.
    static CGRect boundingRectWithSize(const std::string& text, CGSize size, uint32_t options,
                                       const NSStringAttributes& attributes);
    // Into the current UIKit context.
    static void drawInRect(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes);
    static void drawAtPoint(const std::string& text, CGPoint point, const NSStringAttributes& attributes);
};

}  // namespace brindlecue::platform
