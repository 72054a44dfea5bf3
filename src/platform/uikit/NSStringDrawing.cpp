#include "platform/uikit/NSStringDrawing.h"

#include <algorithm>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {
namespace {

TextStyle styleOf(const NSStringAttributes& a) {
    TextStyle s;
    s.font = a.font.value_or(UIFont::systemFontOfSize(12));
    s.color = a.foregroundColor.value_or(UIColor::blackColor());
    s.alignment = a.alignment;
    s.lineBreakMode = a.lineBreakMode;
    s.lineSpacing = a.lineSpacing;
    return s;
}

}  // namespace

CGSize NSStringDrawing::sizeWithAttributes(const std::string& text, const NSStringAttributes& attributes) {
    return TextLayout::measure(text, styleOf(attributes), 0);
}

CGRect NSStringDrawing::boundingRectWithSize(const std::string& text, CGSize size, uint32_t options,
                                             const NSStringAttributes& attributes) {
    double width = (options & NSStringDrawingUsesLineFragmentOrigin) ? size.width : 0;
    CGSize s = TextLayout::measure(text, styleOf(attributes), width);
    if (size.height > 0) s.height = std::min(s.height, size.height);
    return CGRect(CGPoint{}, s);
}

void NSStringDrawing::drawInRect(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    TextLayout::draw(*ctx, text, rect, styleOf(attributes));
}

void NSStringDrawing::drawAtPoint(const std::string& text, CGPoint point, const NSStringAttributes& attributes) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    TextLayout::draw(*ctx, text, CGRect(point, CGSize{}), styleOf(attributes));
}

}  // namespace brindlecue::platform
