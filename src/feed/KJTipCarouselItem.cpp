#include "feed/KJTipCarouselItem.h"

#include "feed/KJDocumentReader.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipUtil.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::Value;

namespace {

const KJTipBaseElement::Exclusions kExclusions{"image", "icon", "titleFont", "contentFont", "button"};

Value optionalText(const std::optional<std::string>& text) {
    return text ? Value(*text) : Value();
}

// The page's button, from the "button-..." keys of the page's own object.
std::shared_ptr<KJTipButtonElement> pageButton(const KJDocumentReader& in) {
    auto button = std::make_shared<KJTipButtonElement>();
    button->buttonText = in.text("button-text");
    button->fontName = in.textOrEmpty("button-text-font-name");
    button->fontSize = in.number("button-text-font-size");
    button->fontWeight = in.textOrEmpty("button-text-font-weight");
    button->textColor = in.color("button-text-color");
    button->alignment = KJTipUtil::convertTextAlignmentFromString(in.word("button-text-alignment"));
    button->width = in.size("button-width");
    if (const std::string* width = in.value("button-width").getString(); width && width->ends_with('%')) {
        button->buttonWidthUnit = "PERCENTAGE";
    }
    button->height = in.size("button-height");
    button->margin = {in.number("button-margin-top"), in.number("button-margin-bottom"),
                      in.number("button-margin-left"), in.number("button-margin-right")};
    button->backgroundColor = in.color("button-background");
    button->borderCornerRadius = in.number("button-radius");
    button->borderColor = in.color("button-border-color");
    button->borderWidth = in.number("button-border-width");
    return button;
}

}  // namespace

const KJElementClass& KJTipCarouselItem::elementClass() {
    static const KJElementClass cls("KJTipCarouselItem", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipCarouselItem>()
                                        .text("suid", &KJTipCarouselItem::suid)
                                        .text("imageSource", &KJTipCarouselItem::imageSource)
                                        .other("image", "UIImage")
                                        .text("iconSource", &KJTipCarouselItem::iconSource)
                                        .other("icon", "UIImage")
                                        .color("backgroundColor", &KJTipCarouselItem::backgroundColor)
                                        .text("titleText", &KJTipCarouselItem::titleText)
                                        .color("titleColor", &KJTipCarouselItem::titleColor)
                                        .text("titleFontName", &KJTipCarouselItem::titleFontName)
                                        .real("titleFontSize", &KJTipCarouselItem::titleFontSize)
                                        .text("titleFontWeight", &KJTipCarouselItem::titleFontWeight)
                                        .other("titleFont", "UIFont")
                                        .text("contentText", &KJTipCarouselItem::contentText)
                                        .color("contentColor", &KJTipCarouselItem::contentColor)
                                        .text("contentFontName", &KJTipCarouselItem::contentFontName)
                                        .real("contentFontSize", &KJTipCarouselItem::contentFontSize)
                                        .text("contentFontWeight", &KJTipCarouselItem::contentFontWeight)
                                        .other("contentFont", "UIFont")
                                        .other("button", "KJTipButtonElement")
                                        .build());
    return cls;
}

std::shared_ptr<KJTipCarouselItem> KJTipCarouselItem::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipCarouselItem");
    auto item = std::make_shared<KJTipCarouselItem>();
    item->suid = in.textOrEmpty("id");
    item->imageSource = in.textOrEmpty("image");
    item->iconSource = in.textOrEmpty("icon");
    item->backgroundColor = in.color("background-color");
    item->titleText = in.textOrEmpty("title");
    item->titleColor = in.color("title-color").value_or(platform::UIColor::blackColor());
    item->titleFontName = in.textOrEmpty("title-font-name");
    item->titleFontSize = in.number("title-font-size");
    item->titleFontWeight = in.textOrEmpty("title-font-weight");
    item->contentText = in.textOrEmpty("content");
    item->contentColor = in.color("content-color").value_or(platform::UIColor::blackColor());
    item->contentFontName = in.textOrEmpty("content-font-name");
    item->contentFontSize = in.number("content-font-size");
    item->contentFontWeight = in.textOrEmpty("content-font-weight");
    const std::string* buttonText = in.value("button-text").getString();
    if (buttonText && !buttonText->empty()) item->button = pageButton(in);
    item->prepareImages();
    return item;
}

bool KJTipCarouselItem::storedForm(KJStoredForm& out) const {
    static const KJStoredKey& kButton = KJStoredKey::named("button");
    out.record(kButton, button);
    static const StoredExclusions kStored(kExclusions);
    storedProperties(out, kStored);
    return true;
}

std::shared_ptr<KJTipCarouselItem> KJTipCarouselItem::deserializeFromDictionary(const Value& stored) {
    auto item = std::make_shared<KJTipCarouselItem>();
    KJDocumentReader in(stored, "KJTipCarouselItem");
    const Value& button = in.dictionary("button");
    if (button.isDictionary()) item->button = KJTipButtonElement::deserializeFromDictionary(button);
    item->deserializeFromDictionaryWithExcludeProperties(stored, kExclusions);
    item->prepareImages();
    return item;
}

bool KJTipCarouselItem::isEqual(const platform::NSObject* other) const {
    if (!isEqualWithExcludeProperties(other, kExclusions)) return false;
    return nestedEqual(button, dynamic_cast<const KJTipCarouselItem*>(other)->button);
}

platform::UIFont KJTipCarouselItem::titleFont() const {
    return KJTipUtil::getFontFromName(optionalText(titleFontName), titleFontSize,
                                      optionalText(titleFontWeight));
}

platform::UIFont KJTipCarouselItem::contentFont() const {
    return KJTipUtil::getFontFromName(optionalText(contentFontName), contentFontSize,
                                      optionalText(contentFontWeight));
}

void KJTipCarouselItem::prepareImages() {
    auto self = sharedAs<KJTipCarouselItem>();
    using Slot = std::shared_ptr<platform::UIImage> KJTipCarouselItem::*;
    for (const auto& entry :
         {std::pair<const std::optional<std::string>*, Slot>{&imageSource, &KJTipCarouselItem::image},
          std::pair<const std::optional<std::string>*, Slot>{&iconSource, &KJTipCarouselItem::icon}}) {
        // Named copies: a lambda cannot capture a structured binding under every compiler.
        const std::optional<std::string>* source = entry.first;
        Slot slot = entry.second;
        KJTipUtil::prepareImageWithSource(
            optionalText(*source), [self, slot](std::shared_ptr<platform::UIImage> loaded, const Value& from,
                                                const std::optional<platform::Error>&) {
                if (!loaded) return;
                platform::DispatchQueue::main()->async([self, slot, loaded] { (*self).*slot = loaded; });
                const std::string* text = from.getString();
                platform::NotificationCenter::defaultCenter().post(
                    kPrepareImageNotification, self,
                    Value::dictionary({{"source", Value(text ? *text : "")}}), {{"image", loaded}});
            });
    }
}

}  // namespace brindlecue
