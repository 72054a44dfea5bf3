#include "support/FakeTipElements.h"

#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"

namespace brindlecue::testsupport {

using platform::Value;

const KJElementClass& FakeTipTargetElement::elementClass() {
    static const KJElementClass cls(
        "FakeTipTargetElement", &KJTipBaseElement::elementClass(),
        KJPropertyTable<FakeTipTargetElement>().text("vcClass", &FakeTipTargetElement::screen).build());
    return cls;
}

std::shared_ptr<FakeTipTargetElement> FakeTipTargetElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto target = std::make_shared<FakeTipTargetElement>();
    const Value& view = object["view"];
    target->screen = view.isString() ? *view.getString() : "";
    return target;
}

bool FakeTipTargetElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<FakeTipTargetElement> FakeTipTargetElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<FakeTipTargetElement>(stored);
}

bool FakeTipTargetElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

const KJElementClass& FakeTipPartElement::elementClass() {
    static const KJElementClass cls(
        "FakeTipPartElement", &KJTipBaseElement::elementClass(),
        KJPropertyTable<FakeTipPartElement>().text("id", &FakeTipPartElement::id).build());
    return cls;
}

std::shared_ptr<FakeTipPartElement> FakeTipPartElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto part = std::make_shared<FakeTipPartElement>();
    if (const std::string* id = object["id"].getString()) part->id = *id;
    return part;
}

bool FakeTipPartElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<FakeTipPartElement> FakeTipPartElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<FakeTipPartElement>(stored);
}

bool FakeTipPartElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

ScopedFakeTipElements::ScopedFakeTipElements() {
    KJElementClass::registerFactories(
        BLQITipTargetElement::kClassName,
        {[](const Value& v) { return FakeTipTargetElement::createFromFeed(v); },
         [](const Value& v) { return FakeTipTargetElement::deserializeFromDictionary(v); }});
    KJElementClass::Factories part{
        [](const Value& v) { return FakeTipPartElement::createFromFeed(v); },
        [](const Value& v) { return FakeTipPartElement::deserializeFromDictionary(v); }};
    KJElementClass::registerFactories(KJTipElement::kImageClassName, part);
    KJElementClass::registerFactories(KJTipElement::kDismissClassName, part);
    KJElementClass::registerFactories(KJTipSeriesElement::kLauncherClassName, part);
}

ScopedFakeTipElements::~ScopedFakeTipElements() {
    for (const char* name : {BLQITipTargetElement::kClassName, KJTipElement::kImageClassName,
                             KJTipElement::kDismissClassName, KJTipSeriesElement::kLauncherClassName}) {
        KJElementClass::registerFactories(name, {});
    }
}

}  // namespace brindlecue::testsupport
