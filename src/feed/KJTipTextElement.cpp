#include "feed/KJTipTextElement.h"

#include <algorithm>
#include <cmath>

#include "feed/BLQIPaddingLabel.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJTipUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

using platform::Value;

namespace {

bool hasText(const std::shared_ptr<const KJTipTextElement>& element) {
    return element && element->text && !element->text->empty();
}

Value optionalText(const std::optional<std::string>& text) {
    return text ? Value(*text) : Value();
}

}  // namespace

const KJElementClass& KJTipTextElement::elementClass() {
    static const KJElementClass cls("KJTipTextElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipTextElement>()
                                        .text("text", &KJTipTextElement::text)
                                        .real("lineHeight", &KJTipTextElement::lineHeight)
                                        .color("textColor", &KJTipTextElement::textColor)
                                        .color("backgroundColor", &KJTipTextElement::backgroundColor)
                                        .integer("alignment", &KJTipTextElement::alignment)
                                        .fourSide("padding", &KJTipTextElement::padding)
                                        .fourSide("margin", &KJTipTextElement::margin)
                                        .real("boxShadow", &KJTipTextElement::boxShadow)
                                        .text("fontName", &KJTipTextElement::fontName)
                                        .real("fontSize", &KJTipTextElement::fontSize)
                                        .text("fontWeight", &KJTipTextElement::fontWeight)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipTextElement> KJTipTextElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipTextElement");
    auto element = std::make_shared<KJTipTextElement>();
    element->text = in.text("text");
    element->lineHeight = in.size("line-height");
    element->textColor = in.color("color").value_or(platform::UIColor::blackColor());
    element->backgroundColor = in.color("background-color").value_or(platform::UIColor::clearColor());
    element->alignment = KJTipUtil::convertTextAlignmentFromString(in.word("text-align"));
    element->padding = {in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                        in.number("padding-right")};
    element->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                       in.number("margin-right")};
    element->boxShadow = in.number("box-shadow");
    element->fontName = in.text("font-family");
    element->fontSize = in.number("font-size");
    element->fontWeight = in.textOrEmpty("font-weight");
    return element;
}

bool KJTipTextElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipTextElement> KJTipTextElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipTextElement>(stored);
}

bool KJTipTextElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

KJTextAttributes KJTipTextElement::textAttributeForElement(
    const std::shared_ptr<const KJTipTextElement>& element) {
    KJTextAttributes attributes;
    if (!element) return attributes;
    attributes.foregroundColor = element->textColor;
    attributes.font = KJTipUtil::getFontFromName(optionalText(element->fontName), element->fontSize,
                                                 optionalText(element->fontWeight));
    attributes.alignment = static_cast<platform::NSTextAlignment>(element->alignment);
    if (element->lineHeight > 0 && element->lineHeight <= 5) {
        attributes.lineHeightMultiple = element->lineHeight;
    } else if (element->lineHeight > 5) {
        attributes.minimumLineHeight = element->lineHeight;
    }
    return attributes;
}

void KJTipTextElement::layoutLabel(const std::shared_ptr<platform::UILabel>& label,
                                   const std::shared_ptr<platform::UIView>& view,
                                   const std::shared_ptr<const KJTipTextElement>& element) {
    if (!label) return;
    if (!hasText(element)) {
        label->setHidden(true);
        return;
    }
    KJTextAttributes attributes = textAttributeForElement(element);
    label->setHidden(false);
    label->setNumberOfLines(0);
    label->setText(element->text);
    if (attributes.font) label->setFont(*attributes.font);
    if (attributes.foregroundColor) label->setTextColor(platform::UIColor(*attributes.foregroundColor));
    label->setTextAlignment(attributes.alignment);
    label->setLineBreakMode(attributes.lineBreakMode);
    if (auto padded = std::dynamic_pointer_cast<BLQIPaddingLabel>(label)) {
        const FourSide& p = element->padding;
        padded->setContentEdgeInsets({p.top, p.left, p.bottom, p.right});
    }
    if (element->boxShadow != 0) {
        label->layer()->shadowOffset = {element->boxShadow, element->boxShadow};
        label->layer()->shadowOpacity = 0.5;
        if (view) view->setClipsToBounds(false);
    }
}

double KJTipTextElement::calculateTextHeightForElement(const std::shared_ptr<const KJTipTextElement>& element,
                                                       double width) {
    if (!hasText(element)) return 0;
    const FourSide& padding = element->padding;
    const FourSide& margin = element->margin;
    double textWidth = std::max(0.0, width - margin.left - margin.right - padding.left - padding.right);
    KJTextAttributes attributes = textAttributeForElement(element);
    platform::UIFont font =
        attributes.font.value_or(platform::UIFont::systemFontOfSize(platform::UIFont::systemFontSize()));

    double height = platform::UILabel::measure(*element->text, font, textWidth, 0).height;
    // The paragraph's line height applies to every line the text takes.
    if (attributes.lineHeightMultiple > 0) {
        height *= attributes.lineHeightMultiple;
    } else if (attributes.minimumLineHeight > 0) {
        double line = platform::UILabel::measure(*element->text, font, textWidth, 1).height;
        if (line > 0 && line < attributes.minimumLineHeight) {
            height = std::round(height / line) * attributes.minimumLineHeight;
        }
    }
    return padding.top + std::floor(static_cast<float>(height)) + padding.bottom + 10;
}

}  // namespace brindlecue
