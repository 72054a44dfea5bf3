#include "feed/KJTipCarouselElement.h"

#include "feed/KJDocumentReader.h"

namespace brindlecue {

using platform::Value;

namespace {

const KJTipBaseElement::Exclusions kExclusions{"items"};

}  // namespace

const KJElementClass& KJTipCarouselElement::elementClass() {
    static const KJElementClass cls("KJTipCarouselElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipCarouselElement>()
                                        .fourSide("margin", &KJTipCarouselElement::margin)
                                        .real("boxShadow", &KJTipCarouselElement::boxShadow)
                                        .color("borderColor", &KJTipCarouselElement::borderColor)
                                        .real("borderWidth", &KJTipCarouselElement::borderWidth)
                                        .real("cornerRadius", &KJTipCarouselElement::cornerRadius)
                                        .other("items", "NSArray")
                                        .text("buttonWidthUnit", &KJTipCarouselElement::buttonWidthUnit)
                                        .build());
    return cls;
}

std::shared_ptr<KJTipCarouselElement> KJTipCarouselElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipCarouselElement");
    auto carousel = std::make_shared<KJTipCarouselElement>();
    carousel->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                        in.number("margin-right")};
    carousel->boxShadow = in.number("box-shadow");
    carousel->borderColor = in.color("border-color");
    carousel->borderWidth = in.number("border-width");
    carousel->cornerRadius = in.number("corner-radius");
    carousel->items = in.records<KJTipCarouselItem>("items");
    return carousel;
}

bool KJTipCarouselElement::storedForm(KJStoredForm& out) const {
    static const KJStoredKey& kItems = KJStoredKey::named("items");
    if (items) out.records(kItems, *items);
    static const StoredExclusions kStored(kExclusions);
    storedProperties(out, kStored);
    return true;
}

std::shared_ptr<KJTipCarouselElement> KJTipCarouselElement::deserializeFromDictionary(const Value& stored) {
    auto carousel = std::make_shared<KJTipCarouselElement>();
    KJDocumentReader in(stored, "KJTipCarouselElement");
    const Value& list = in.array("items");
    if (list.isArray()) {
        carousel->items.emplace();
        for (size_t i = 0; i < list.count(); ++i) {
            if (!list[i].isDictionary()) {
                in.wrongEntry("items", i, list[i], "a dictionary");
                continue;
            }
            carousel->items->push_back(KJTipCarouselItem::deserializeFromDictionary(list[i]));
        }
    }
    carousel->deserializeFromDictionaryWithExcludeProperties(stored, kExclusions);
    return carousel;
}

bool KJTipCarouselElement::isEqual(const platform::NSObject* other) const {
    if (!isEqualWithExcludeProperties(other, kExclusions)) return false;
    return nestedListsMatch(items, dynamic_cast<const KJTipCarouselElement*>(other)->items);
}

}  // namespace brindlecue
