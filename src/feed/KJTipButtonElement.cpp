#include "feed/KJTipButtonElement.h"

#include <algorithm>
#include <cmath>

#include "feed/KJDocumentReader.h"
#include "feed/KJTipUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue {

using platform::Value;

namespace {

// The number before a trailing "%", when the value is such a text.
std::optional<float> percentage(const Value& value) {
    const std::string* text = value.getString();
    if (!text || text->empty() || text->back() != '%') return std::nullopt;
    return static_cast<float>(Value(text->substr(0, text->size() - 1)).doubleValue());
}

Value optionalText(const std::optional<std::string>& text) {
    return text ? Value(*text) : Value();
}

platform::CGSize measureText(const KJTipButtonElement& element, double maxWidth) {
    return platform::UILabel::measure(element.buttonText.value_or(""), element.font(), maxWidth, 0);
}

// Everything but the shadow.
void style(platform::UIButton& button, const KJTipButtonElement& element) {
    button.setHidden(false);
    button.titleLabel()->setFont(element.font());
    button.setTitle(element.buttonText, platform::UIControlStateNormal);
    // The control stand-in keeps its content alignment as a key-value entry.
    button.setValueForKey(
        "contentHorizontalAlignment",
        Value(KJTipUtil::getButtonHorizontalAlignment(static_cast<uint64_t>(element.alignment))));
    if (element.textColor)
        button.setTitleColor(platform::UIColor(*element.textColor), platform::UIControlStateNormal);
    button.setBackgroundColor(
        element.backgroundColor ? std::optional<platform::UIColor>(*element.backgroundColor) : std::nullopt);
    const FourSide& p = element.padding;
    button.setContentEdgeInsets({p.top, p.left, p.bottom, p.right});
    auto layer = button.layer();
    layer->borderColor =
        element.borderColor ? std::optional<platform::UIColor>(*element.borderColor) : std::nullopt;
    layer->borderWidth = element.borderWidth;
    layer->cornerRadius = element.borderCornerRadius;
}

}  // namespace

const KJElementClass& KJTipButtonElement::elementClass() {
    static const KJElementClass cls("KJTipButtonElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipButtonElement>()
                                        .text("buttonType", &KJTipButtonElement::buttonType)
                                        .text("buttonText", &KJTipButtonElement::buttonText)
                                        .text("buttonAlignment", &KJTipButtonElement::buttonAlignment)
                                        .color("textColor", &KJTipButtonElement::textColor)
                                        .color("backgroundColor", &KJTipButtonElement::backgroundColor)
                                        .color("borderColor", &KJTipButtonElement::borderColor)
                                        .real("borderWidth", &KJTipButtonElement::borderWidth)
                                        .real("borderCornerRadius", &KJTipButtonElement::borderCornerRadius)
                                        .integer("alignment", &KJTipButtonElement::alignment)
                                        .fourSide("padding", &KJTipButtonElement::padding)
                                        .fourSide("margin", &KJTipButtonElement::margin)
                                        .real("boxShadow", &KJTipButtonElement::boxShadow)
                                        .text("fontName", &KJTipButtonElement::fontName)
                                        .real("fontSize", &KJTipButtonElement::fontSize)
                                        .text("fontWeight", &KJTipButtonElement::fontWeight)
                                        .text("actionUrl", &KJTipButtonElement::actionUrl)
                                        .text("ondemand", &KJTipButtonElement::ondemand)
                                        .real("width", &KJTipButtonElement::width)
                                        .real("height", &KJTipButtonElement::height)
                                        .text("buttonWidthUnit", &KJTipButtonElement::buttonWidthUnit)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipButtonElement> KJTipButtonElement::createFromFeed(const Value& object) {
    return createFromFeed(object, {});
}

std::shared_ptr<KJTipButtonElement> KJTipButtonElement::createFromFeed(
    const Value& object, std::span<const platform::Dictionary::Entry> given) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, given, "KJTipButtonElement");
    auto button = std::make_shared<KJTipButtonElement>();
    button->buttonType = in.text("button-type");
    button->buttonText = in.text("text");
    std::optional<std::string> alignmentText = in.text("button-align");
    bool explicitAlignment = alignmentText.has_value();
    button->buttonAlignment = alignmentText.value_or("center");
    button->textColor = in.color("color").value_or(platform::UIColor::blackColor());
    button->backgroundColor = in.color("background-color").value_or(platform::UIColor::clearColor());
    button->borderColor = in.color("border-color");
    if (!button->borderColor) button->borderColor = button->backgroundColor;
    button->borderWidth = std::max(0.0, in.number("border-width"));
    button->alignment = KJTipUtil::convertTextAlignmentFromString(in.word("text-align"));
    button->padding = {in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                       in.number("padding-right")};
    button->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                      in.number("margin-right")};
    button->boxShadow = in.number("box-shadow");
    button->fontName = in.text("font-family");
    button->fontSize = in.number("font-size");
    button->fontWeight = in.textOrEmpty("font-weight");
    button->actionUrl = in.text("cta");
    button->ondemand = in.text("on-demand");

    // Percentages are of the step's size, which the step adds as "containerWidth" and
    // "containerHeight"; a percentage height gets 10 points more.
    if (auto pct = percentage(in.value("height"))) {
        button->height = in.number("containerHeight") * *pct / 100 + 10;
    } else {
        button->height = in.number("height");
    }
    const Value& widthValue = in.value("width");
    bool widthGiven = widthValue.isNumber() || widthValue.isString();
    if (!widthGiven && !widthValue.isNil()) in.wrongKind("width", "a number or size text");
    if (widthGiven) {
        if (auto pct = percentage(in.value("width"))) {
            button->width =
                static_cast<double>(static_cast<float>(in.number("containerWidth")) * *pct) / 100.0;
        } else {
            button->width = in.number("width");
        }
    } else if (explicitAlignment) {
        calculateButtonWidthForElement(button);
    } else {
        button->width = -1;
    }
    // A size beyond what a number holds (a percentage of no size at all that large) is no size.
    for (auto [size, key] : {std::pair{&button->height, "height"}, std::pair{&button->width, "width"}}) {
        if (std::isfinite(*size)) continue;
        in.wrongKind(key, "a finite size");
        *size = 0;
    }

    double w = button->width > 0 ? button->width : 40;
    double h = button->height > 0 ? button->height : 40;
    button->borderCornerRadius =
        std::max(0.0, KJTipUtil::maxCornerRadius({w, h}, in.number("corner-radius")));
    return button;
}

bool KJTipButtonElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipButtonElement> KJTipButtonElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipButtonElement>(stored);
}

bool KJTipButtonElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

platform::UIFont KJTipButtonElement::font() const {
    return KJTipUtil::getFontFromName(optionalText(fontName), fontSize, optionalText(fontWeight));
}

double KJTipButtonElement::calculateButtonWidthForElement(
    const std::shared_ptr<KJTipButtonElement>& element) {
    if (!element) return 0;
    element->width = element->hasText() ? std::ceil(measureText(*element, 220).width) +
                                              element->padding.left + element->padding.right
                                        : 0;
    return element->width;
}

double KJTipButtonElement::calculateButtonWidthForElement(const std::shared_ptr<KJTipButtonElement>& element,
                                                          double containerWidth) {
    if (!element) return 0;
    if (element->width < 0) return containerWidth;
    if (element->width > 0) return element->width;
    element->width = element->hasText() ? std::ceil(measureText(*element, containerWidth).width) +
                                              element->padding.left + element->padding.right
                                        : 0;
    return element->width;
}

double KJTipButtonElement::calculateButtonHeightForElement(const std::shared_ptr<KJTipButtonElement>& element,
                                                           double containerWidth) {
    if (!element) return 0;
    if (element->height != 0) return element->height;
    element->height = element->hasText() ? std::ceil(measureText(*element, containerWidth).height) +
                                               element->padding.top + element->padding.bottom
                                         : 0;
    return element->height;
}

void KJTipButtonElement::layoutButton(const std::shared_ptr<platform::UIButton>& button,
                                      const std::shared_ptr<platform::UIView>& view,
                                      const std::shared_ptr<const KJTipButtonElement>& element) {
    if (!button) return;
    if (!element || !element->hasText()) {
        button->setHidden(true);
        return;
    }
    style(*button, *element);
    if (element->boxShadow != 0) {
        if (view) view->setClipsToBounds(false);
        button->layer()->shadowOffset = {element->boxShadow, element->boxShadow};
        button->layer()->shadowOpacity = 0.5;
    }
}

std::shared_ptr<platform::UIButton> KJTipButtonElement::createButton(double containerWidth) const {
    auto button = platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    style(*button, *this);
    double w = width;
    if (buttonWidthUnit == "PERCENTAGE") {
        w = width < 1.0 ? containerWidth * width : containerWidth;
    } else if (w < 0) {
        w = containerWidth;  // -1 spans the container
    }
    button->setFrame({0, 0, w, height});
    button->layer()->cornerRadius = std::min(borderCornerRadius, std::min(w, height) / 2);
    return button;
}

}  // namespace brindlecue
