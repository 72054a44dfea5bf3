#include "feed/KJTipWebElement.h"

#include "feed/KJDocumentReader.h"

namespace brindlecue {

using platform::Value;

const KJElementClass& KJTipWebElement::elementClass() {
    static const KJElementClass cls("KJTipWebElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipWebElement>()
                                        .text("url", &KJTipWebElement::url)
                                        .text("urlcontent", &KJTipWebElement::urlcontent)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipWebElement> KJTipWebElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipWebElement");
    auto web = std::make_shared<KJTipWebElement>();
    web->url = in.text("url");
    web->urlcontent = in.text("url-content");
    return web;
}

Value KJTipWebElement::serializeToDictionary() const {
    return serializeProperties();
}

std::shared_ptr<KJTipWebElement> KJTipWebElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipWebElement>(stored);
}

bool KJTipWebElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
