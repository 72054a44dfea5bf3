#include "feed/KJOverlay.h"

#include "feed/KJDocumentReader.h"

namespace brindlecue {

using platform::Value;

const KJElementClass& KJOverlay::elementClass() {
    static const KJElementClass cls("KJOverlay", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJOverlay>()
                                        .text("type", &KJOverlay::type)
                                        .color("backgroundColor", &KJOverlay::backgroundColor)
                                        .color("borderColor", &KJOverlay::borderColor)
                                        .real("cornerRadius", &KJOverlay::cornerRadius)
                                        .real("borderWidth", &KJOverlay::borderWidth)
                                        .fourSide("padding", &KJOverlay::padding)
                                        .other("highlightFrame", "")
                                        .build());
    return cls;
}

std::shared_ptr<KJOverlay> KJOverlay::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJOverlay");
    auto overlay = std::make_shared<KJOverlay>();
    overlay->type = in.textOrEmpty("type");
    overlay->backgroundColor = in.color("background-color");
    overlay->borderColor = in.color("border-color");
    overlay->cornerRadius = in.number("corner-radius");
    overlay->borderWidth = in.number("border-width");
    overlay->padding = {in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                        in.number("padding-right")};
    return overlay;
}

bool KJOverlay::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJOverlay> KJOverlay::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJOverlay>(stored);
}

bool KJOverlay::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
