#include "platform/uikit/UILabel.h"

#include <cmath>

#include "platform/uikit/CALayer.h"

namespace brindlecue::platform {
namespace {

UILabel::TextMeasurer& measurerSlot() {
    static auto* slot = new UILabel::TextMeasurer;
    return *slot;
}

CGSize estimate(const std::string& text, const UIFont& font, double maxWidth, int lines) {
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

}  // namespace

void UILabel::setTextMeasurer(TextMeasurer measurer) {
    measurerSlot() = std::move(measurer);
}

CGSize UILabel::measure(const std::string& text, const UIFont& font, double maxWidth, int lines) {
    if (measurerSlot()) return measurerSlot()(text, font, maxWidth, lines);
    return estimate(text, font, maxWidth, lines);
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

Value UILabel::valueForKey(std::string_view key) const {
    if (key == "text") return text_ ? Value(*text_) : Value();
    return UIView::valueForKey(key);
}

void UILabel::describeFields(std::vector<std::string>& fields) const {
    if (text_) fields.push_back("text = '" + *text_ + "'");
}

}  // namespace brindlecue::platform
