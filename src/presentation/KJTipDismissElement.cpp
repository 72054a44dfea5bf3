#include "presentation/KJTipDismissElement.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "feed/KJDocumentReader.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQUtils.h"
#include "platform/Bundle.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::Value;

namespace {

std::optional<std::string> textAsReceived(const KJDocumentReader& in, std::string_view key) {
    const Value& value = in.value(key);
    const std::string* text = value.getString();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

double sizeOrDefault(double value) {
    return value == 0 ? KJTipDismissElement::kDefaultSize : value;
}

std::optional<platform::Data> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return platform::Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

const KJElementClass& KJTipDismissElement::elementClass() {
    static const KJElementClass cls("KJTipDismissElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipDismissElement>()
                                        .text("icon", &KJTipDismissElement::icon)
                                        .real("width", &KJTipDismissElement::width)
                                        .real("height", &KJTipDismissElement::height)
                                        .fourSide("padding", &KJTipDismissElement::padding)
                                        .fourSide("margin", &KJTipDismissElement::margin)
                                        .color("buttonColor", &KJTipDismissElement::buttonColor)
                                        .color("backgroundColor", &KJTipDismissElement::backgroundColor)
                                        .color("borderColor", &KJTipDismissElement::borderColor)
                                        .real("borderWidth", &KJTipDismissElement::borderWidth)
                                        .real("borderCornerRadius", &KJTipDismissElement::borderCornerRadius)
                                        .text("dismissB1", &KJTipDismissElement::dismissB1)
                                        .text("dismissB2", &KJTipDismissElement::dismissB2)
                                        .text("dialogTitle", &KJTipDismissElement::dialogTitle)
                                        .text("dialogContent", &KJTipDismissElement::dialogContent)
                                        .build());
    return cls;
}

void KJTipDismissElement::registerWithCampaignModel() {
    KJElementClass::registerFactories(
        KJTipElement::kDismissClassName,
        {[](const Value& v) { return KJTipDismissElement::createFromFeed(v); },
         [](const Value& v) { return KJTipDismissElement::deserializeFromDictionary(v); }});
}

std::shared_ptr<KJTipDismissElement> KJTipDismissElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto record = std::make_shared<KJTipDismissElement>();
    KJDocumentReader in(object, "KJTipDismissElement");
    // Only a non-empty text names an icon: anything else (a number, say) leaves the record empty,
    // so that the close button is hidden.
    const std::string* fileName = in.value("file-name").getString();
    if (!fileName || fileName->empty()) return record;

    record->icon = KJTipUtil::convertIconFromString(in.value("file-name"));
    record->width = sizeOrDefault(in.number("width"));
    record->height = sizeOrDefault(in.number("height"));
    record->padding = {in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                       in.number("padding-right")};
    record->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                      in.number("margin-right")};
    record->buttonColor = in.color("color").value_or(platform::UIColor::blackColor());
    record->backgroundColor = in.color("background-color").value_or(platform::UIColor::clearColor());
    record->borderColor = in.color("border-color").value_or(*record->backgroundColor);
    record->borderWidth = std::max(0.0, in.number("border-width"));
    record->borderCornerRadius = std::max(0.0, in.number("corner-radius"));
    record->dismissB1 = textAsReceived(in, "b1");
    record->dismissB2 = textAsReceived(in, "b2");
    record->dialogTitle = textAsReceived(in, "title");
    record->dialogContent = textAsReceived(in, "content");
    return record;
}

bool KJTipDismissElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipDismissElement> KJTipDismissElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipDismissElement>(stored);
}

bool KJTipDismissElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

std::shared_ptr<platform::UIImage> KJTipDismissElement::iconImage(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const std::string name = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string type = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
    auto bundle = blqFindBundleForResource(name, type, false);
    if (!bundle) return nullptr;
    for (const auto& [suffix, scale] : {std::pair<const char*, double>{"", 1}, {"@3x", 3}, {"@2x", 2}}) {
        auto path = bundle->pathForResource(name + suffix, type);
        if (!path) continue;
        auto data = readFile(*path);
        return data ? platform::UIImage::imageWithData(*data, scale) : nullptr;
    }
    return nullptr;
}

void KJTipDismissElement::layoutButton(const std::shared_ptr<platform::UIButton>& button,
                                       const std::shared_ptr<const KJTipDismissElement>& element) {
    if (!button) return;
    if (!element || blqStrIsEmpty(element->icon ? Value(*element->icon) : Value())) {
        button->setHidden(true);
        return;
    }
    button->setHidden(false);
    const FourSide& p = element->padding;
    button->setContentEdgeInsets({p.top, p.left, p.bottom, p.right});
    auto image = iconImage(*element->icon);
    if (element->buttonColor) {
        const platform::UIColor color(*element->buttonColor);
        button->setTitleColor(color, platform::UIControlStateNormal);
        button->setTintColor(color);
        button->setImage(
            image ? image->imageWithRenderingMode(platform::UIImageRenderingMode::AlwaysTemplate) : nullptr,
            platform::UIControlStateNormal);
    } else {
        button->setImage(image, platform::UIControlStateNormal);
    }
    button->setBackgroundColor(element->backgroundColor
                                   ? std::optional<platform::UIColor>(*element->backgroundColor)
                                   : std::nullopt);
    auto layer = button->layer();
    layer->borderColor =
        element->borderColor ? std::optional<platform::UIColor>(*element->borderColor) : std::nullopt;
    layer->borderWidth = element->borderWidth;
    layer->cornerRadius = element->borderCornerRadius;
}

}  // namespace brindlecue
