#include "platform/uikit/UILabel.h"

#include <cmath>

#include "platform/graphics/TextLayout.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {
namespace {

UILabel::TextMeasurer& measurerSlot() {
    static auto* slot = new UILabel::TextMeasurer;
    return *slot;
}

CGSize pangoMeasure(const std::string& text, const UIFont& font, double maxWidth, int lines) {
    TextStyle style;
    style.font = font;
    style.numberOfLines = lines;
    CGSize s = TextLayout::measure(text, style, maxWidth);
    // Labels size themselves in whole points.
    return {std::ceil(s.width - 1e-9), std::ceil(s.height - 1e-9)};
}

}  // namespace

CGSize UILabel::estimateTextSize(const std::string& text, const UIFont& font, double maxWidth, int lines) {
    // Characters, not bytes: UTF-8 continuation bytes do not count.
    size_t chars = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++chars;
    double lineHeight = std::ceil(font.pointSize * 1.2);
    double width = std::ceil(chars * font.pointSize * 0.55);
    if (text.empty()) return {0, 0};
    double lineCount = 1;
    if (maxWidth > 0 && width > maxWidth) {
        lineCount = std::ceil(width / maxWidth);
        width = maxWidth;
    }
    if (lines > 0) lineCount = std::min(lineCount, double(lines));
    return {width, lineHeight * lineCount};
}

void UILabel::setTextMeasurer(TextMeasurer measurer) {
    measurerSlot() = std::move(measurer);
}

CGSize UILabel::measure(const std::string& text, const UIFont& font, double maxWidth, int lines) {
    if (measurerSlot()) return measurerSlot()(text, font, maxWidth, lines);
    return pangoMeasure(text, font, maxWidth, lines);
}

void UILabel::didConstruct() {
    UIView::didConstruct();
    setUserInteractionEnabled(false);
    setOpaque(false);
}

std::shared_ptr<CALayer> UILabel::makeBackingLayer() {
    auto layer = UIView::makeBackingLayer();
    layer->setRuntimeClassName("_UILabelLayer");
    return layer;
}

CGSize UILabel::sizeThatFits(CGSize size) const {
    double maxWidth = numberOfLines_ == 1 ? 0 : size.width;
    return measure(text_.value_or(""), font_, maxWidth, numberOfLines_);
}

CGSize UILabel::intrinsicContentSize() const {
    return measure(text_.value_or(""), font_, 0, numberOfLines_);
}

void UILabel::drawTextInRect(const CGRect& rect) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx || !text_ || text_->empty() || rect.size.width <= 0 || rect.size.height <= 0) return;
    TextStyle style;
    style.font = font_;
    style.color = textColor_;
    style.alignment = textAlignment_;
    style.lineBreakMode = lineBreakMode_;
    style.numberOfLines = numberOfLines_;
    if (adjustsFontSizeToFitWidth_ && numberOfLines_ == 1) {
        // Shrinks the font (down to the minimum scale) until one line fits the width.
        double natural = TextLayout::measure(*text_, style, 0).width;
        if (natural > rect.size.width) {
            double factor = std::max(minimumScaleFactor_ > 0 ? minimumScaleFactor_ : 0.01, rect.size.width / natural);
            style.font.pointSize = font_.pointSize * factor;
        }
    }
    CGSize text = TextLayout::measure(*text_, style, numberOfLines_ == 1 ? 0 : rect.size.width);
    double height = std::min(text.height, rect.size.height);
    CGRect box(rect.origin.x, rect.origin.y + (rect.size.height - height) / 2, rect.size.width, height);
    TextLayout::draw(*ctx, *text_, box, style);
}

Value UILabel::valueForKey(std::string_view key) const {
    if (key == "text") return text_ ? Value(*text_) : Value();
    return UIView::valueForKey(key);
}

void UILabel::describeFields(std::vector<std::string>& fields) const {
    if (!text_) return;
    // A description is one line (view-tree dumps print one view a line): line breaks of the
    // text are written as "\n" and "\r".
    std::string text;
    text.reserve(text_->size());
    for (char c : *text_) {
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else
            text += c;
    }
    fields.push_back("text = '" + text + "'");
}

}  // namespace brindlecue::platform
