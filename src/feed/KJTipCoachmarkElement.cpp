#include "feed/KJTipCoachmarkElement.h"

#include "feed/KJDocumentReader.h"
#include "feed/KJTipUtil.h"

namespace brindlecue {

using platform::Value;

const KJElementClass& KJTipCoachmarkElement::elementClass() {
    static const KJElementClass cls("KJTipCoachmarkElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipCoachmarkElement>()
                                        .int32("style", &KJTipCoachmarkElement::style)
                                        .real("width", &KJTipCoachmarkElement::width)
                                        .real("height", &KJTipCoachmarkElement::height)
                                        .int32("diffuse", &KJTipCoachmarkElement::diffuse)
                                        .text("type", &KJTipCoachmarkElement::type)
                                        .color("backgroundColor", &KJTipCoachmarkElement::backgroundColor)
                                        .color("borderColor", &KJTipCoachmarkElement::borderColor)
                                        .real("cornerRadius", &KJTipCoachmarkElement::cornerRadius)
                                        .real("borderWidth", &KJTipCoachmarkElement::borderWidth)
                                        .fourSide("padding", &KJTipCoachmarkElement::padding)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipCoachmarkElement> KJTipCoachmarkElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipCoachmarkElement");
    auto coachmark = std::make_shared<KJTipCoachmarkElement>();
    FourSide padding{in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                     in.number("padding-right")};
    coachmark->style = KJTipUtil::convertCoachmarkStyleFromString(in.word("style"));
    coachmark->cornerRadius = in.number("corner-radius");
    coachmark->width = in.number("width");
    coachmark->height = in.number("height");
    coachmark->diffuse = KJTipUtil::convertCoachmarkDiffuseFromString(in.word("diffuse"));
    coachmark->padding = padding;
    coachmark->borderWidth = in.number("border-width");
    coachmark->borderColor = in.color("border-color");
    coachmark->backgroundColor = in.color("background-color");
    return coachmark;
}

bool KJTipCoachmarkElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipCoachmarkElement> KJTipCoachmarkElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipCoachmarkElement>(stored);
}

bool KJTipCoachmarkElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
