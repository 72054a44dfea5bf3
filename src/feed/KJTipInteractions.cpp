#include "feed/KJTipInteractions.h"

#include "feed/KJDocumentReader.h"

namespace brindlecue {

using platform::Value;

// ---- KJTargetParams ------------------------------------------------------------------------------

const KJElementClass& KJTargetParams::elementClass() {
    static const KJElementClass cls("KJTargetParams", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTargetParams>()
                                        .real("x", &KJTargetParams::x)
                                        .real("y", &KJTargetParams::y)
                                        .real("width", &KJTargetParams::width)
                                        .real("height", &KJTargetParams::height)
                                        .text("child", &KJTargetParams::child)
                                        .text("ancestor", &KJTargetParams::ancestor)
                                        .text("index", &KJTargetParams::index)
                                        .text("type", &KJTargetParams::type)
                                        .text("version", &KJTargetParams::version)
                                        .text("selector", &KJTargetParams::selector)
                                        .build());
    return cls;
}

std::shared_ptr<KJTargetParams> KJTargetParams::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTargetParams");
    auto params = std::make_shared<KJTargetParams>();
    params->x = in.number("x");
    params->y = in.number("y");
    params->width = in.number("width");
    params->height = in.number("height");
    params->child = in.textOrEmpty("child");
    params->ancestor = in.textOrEmpty("ancestor");
    params->index = in.textOrEmpty("index");
    params->type = in.textOrEmpty("type");
    params->version = in.textOrEmpty("version");
    params->selector = in.textOrEmpty("selector");
    return params;
}

bool KJTargetParams::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTargetParams> KJTargetParams::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTargetParams>(stored);
}

bool KJTargetParams::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

// ---- KJActions -----------------------------------------------------------------------------------

const KJElementClass& KJActions::elementClass() {
    static const KJElementClass cls(
        "KJActions", &KJTipBaseElement::elementClass(),
        KJPropertyTable<KJActions>().text("type", &KJActions::type).text("value", &KJActions::value).build());
    return cls;
}

std::shared_ptr<KJActions> KJActions::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJActions");
    auto action = std::make_shared<KJActions>();
    action->type = in.textOrEmpty("type");
    action->value = in.textOrEmpty("value");
    return action;
}

bool KJActions::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJActions> KJActions::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJActions>(stored);
}

bool KJActions::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

// ---- KJConditions --------------------------------------------------------------------------------

const KJElementClass& KJConditions::elementClass() {
    static const KJElementClass cls("KJConditions", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJConditions>()
                                        .text("type", &KJConditions::type)
                                        .text("value", &KJConditions::value)
                                        .text("target", &KJConditions::target)
                                        .text("view", &KJConditions::view)
                                        .other("targetParams", "KJTargetParams")
                                        .build());
    return cls;
}

std::shared_ptr<KJConditions> KJConditions::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJConditions");
    auto condition = std::make_shared<KJConditions>();
    condition->type = in.textOrEmpty("type");
    condition->value = in.textOrEmpty("value");
    condition->target = in.textOrEmpty("target");
    condition->view = in.textOrEmpty("view");
    condition->targetParams = KJTargetParams::createFromFeed(object);
    return condition;
}

bool KJConditions::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJConditions> KJConditions::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJConditions>(stored);
}

bool KJConditions::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

// ---- KJTipInteractions ---------------------------------------------------------------------------

const KJElementClass& KJTipInteractions::elementClass() {
    static const KJElementClass cls("KJTipInteractions", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipInteractions>()
                                        .text("matchType", &KJTipInteractions::matchType)
                                        .other("actions", "NSArray")
                                        .other("conditions", "NSArray")
                                        .build());
    return cls;
}

std::shared_ptr<KJTipInteractions> KJTipInteractions::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipInteractions");
    auto interactions = std::make_shared<KJTipInteractions>();
    interactions->matchType = in.textOrEmpty("match_type");
    interactions->actions = in.records<KJActions>("actions");
    interactions->conditions = in.records<KJConditions>("conditions");
    return interactions;
}

bool KJTipInteractions::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipInteractions> KJTipInteractions::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipInteractions>(stored);
}

bool KJTipInteractions::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

}  // namespace brindlecue
