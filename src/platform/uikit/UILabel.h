#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/uikit/NSParagraphStyle.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {


// A text label. Its size for a text comes from the text measurer: Pango through the graphics
// stand-in unless a test installs another one (estimateTextSize is a rough, font-free one: 0.55
// em per character, 1.2 em per line). It draws its text in drawTextInRect, centred vertically.
class UILabel : public UIView {
public:
    BLQ_PLATFORM_CLASS(UILabel)

    using TextMeasurer =
        std::function<CGSize(const std::string& text, const UIFont& font, double maxWidth, int lines)>;
    // An empty measurer restores the Pango one.
    static void setTextMeasurer(TextMeasurer measurer);
    static CGSize measure(const std::string& text, const UIFont& font, double maxWidth, int lines);
    static CGSize estimateTextSize(const std::string& text, const UIFont& font, double maxWidth, int lines);

    UILabel() = default;
    explicit UILabel(const CGRect& frame) : UIView(frame) {}
    void didConstruct() override;

    const std::optional<std::string>& text() const { return text_; }
    virtual void setText(std::optional<std::string> text) { text_ = std::move(text); }
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font) { font_ = font; }
    UIColor textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = color.value_or(UIColor::blackColor()); }
    NSTextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSTextAlignment a) { textAlignment_ = a; }
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int n) { numberOfLines_ = n; }
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode m) { lineBreakMode_ = m; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool v) { adjustsFontSizeToFitWidth_ = v; }
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double v) { minimumScaleFactor_ = v; }

    void drawRect(const CGRect& rect) override { drawTextInRect(bounds()); }
    // Draws the text in the rectangle (subclasses move it, as a padded label does).
    virtual void drawTextInRect(const CGRect& rect);

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    Value valueForKey(std::string_view key) const override;

protected:
    void describeFields(std::vector<std::string>& fields) const override;
    std::shared_ptr<CALayer> makeBackingLayer() override;

private:
    std::optional<std::string> text_;
    UIFont font_ = UIFont::systemFontOfSize(UIFont::labelFontSize());
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment textAlignment_ = NSTextAlignment::Natural;
    int numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakMode::ByTruncatingTail;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumScaleFactor_ = 0;
};

}  // namespace brindlecue::platform
