#include "feed/KJTipAnimationElement.h"

#include "feed/KJDocumentReader.h"
#include "feed/KJTipUtil.h"

namespace brindlecue {

using platform::Value;

const KJElementClass& KJTipAnimationElement::elementClass() {
    static const KJElementClass cls("KJTipAnimationElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipAnimationElement>()
                                        .int32("inType", &KJTipAnimationElement::inType)
                                        .real("inDuration", &KJTipAnimationElement::inDuration)
                                        .int32("inDirection", &KJTipAnimationElement::inDirection)
                                        .int32("outType", &KJTipAnimationElement::outType)
                                        .real("outDuration", &KJTipAnimationElement::outDuration)
                                        .int32("outDirection", &KJTipAnimationElement::outDirection)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipAnimationElement> KJTipAnimationElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipAnimationElement");
    auto animation = std::make_shared<KJTipAnimationElement>();
    const Value& transitionIn = in.dictionary("transition-in");
    if (transitionIn.isDictionary()) {
        KJDocumentReader t(transitionIn, "KJTipAnimationElement transition-in");
        animation->inType = KJTipUtil::convertTipAnimationTypeFromString(t.word("type"));
        animation->inDuration = t.doubleNumber("duration");
        animation->inDirection = KJTipUtil::convertTipAnimationDirectionFromString(t.word("direction"));
    }
    const Value& transitionOut = in.dictionary("transition-out");
    if (transitionOut.isDictionary()) {
        KJDocumentReader t(transitionOut, "KJTipAnimationElement transition-out");
        animation->outType = KJTipUtil::convertTipAnimationTypeFromString(t.word("type"));
        animation->outDuration = t.doubleNumber("duration");
        animation->outDirection = KJTipUtil::convertTipAnimationDirectionFromString(t.word("direction"));
    }
    return animation;
}

bool KJTipAnimationElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipAnimationElement> KJTipAnimationElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipAnimationElement>(stored);
}

bool KJTipAnimationElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
