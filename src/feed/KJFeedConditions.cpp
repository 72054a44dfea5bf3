#include "feed/KJFeedConditions.h"

#include "foundation/BLQDateUtils.h"
#include "foundation/BLQUtils.h"
#include "platform/UserDefaults.h"

namespace brindlecue {

using platform::Value;

namespace {

std::string textOf(const Value& v) {
    return v.isNil() ? std::string() : v.stringValue();
}

bool isCounting(const std::string& type) {
    return type == "seen_count" || type == "page_seen_count" || type == "always" || type == "never";
}

bool isDated(const std::string& type) {
    return type == "after_delay" || type == "time_next";
}

}  // namespace

std::shared_ptr<KJFeedConditions> KJFeedConditions::createFromDictionary(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto condition = std::make_shared<KJFeedConditions>();
    condition->type = textOf(object["type"]);
    condition->op = textOf(object["op"]);
    condition->tag = textOf(object["tag"]);
    condition->value = textOf(object["value"]);
    condition->currentValue = textOf(object["currentValue"]);
    const Value& list = object["value_array"];
    if (!list.isNil()) condition->value_array = list;
    if (condition->currentValue.empty()) condition->currentValue = initialCurrentValue(*condition);
    return condition;
}

KJFeedConditions::List KJFeedConditions::createFeedConditionsArray(const Value& list) {
    List out;
    if (const platform::Array* items = list.getArray()) {
        for (const Value& item : *items) {
            if (auto condition = createFromDictionary(item)) out.push_back(std::move(condition));
        }
    }
    return out;
}

KJFeedConditions::List KJFeedConditions::createConditionsObject(const Value& text, const std::string& name) {
    return createFeedConditionsArray(blqParseObjectToDict(text)[name]);
}

KJFeedConditions::List KJFeedConditions::getSavedFeedConditions(const std::string& feedId,
                                                                const List& conditions,
                                                                const std::string& name) {
    Value saved =
        blqParseObjectToDict(platform::UserDefaults::standard().object(savedStateKey(name, feedId)));
    const platform::Array* entries = saved[name].getArray();
    List out;
    for (const auto& condition : conditions) {
        if (!condition) continue;
        auto merged = std::make_shared<KJFeedConditions>(*condition);
        if (entries != nullptr) {
            for (const Value& entry : *entries) {
                if (textOf(entry["type"]) != condition->type) continue;
                const Value& current = entry["currentValue"];
                if (!current.isNil()) merged->currentValue = current.stringValue();
                break;
            }
        }
        out.push_back(std::move(merged));
    }
    return out;
}

std::string KJFeedConditions::getUpdatedFeedConditions(const List& conditions, const std::string& name,
                                                       bool increment) {
    platform::Array objects;
    objects.reserve(conditions.size());
    for (const auto& condition : conditions) {
        if (condition) objects.push_back(dictKeys(*condition, increment));
    }
    return jsonToString(Value(std::move(objects)), name);
}

Value KJFeedConditions::dictKeys(const KJFeedConditions& condition, bool increment) {
    return Value::dictionary({
        {"type", condition.type},
        {"op", condition.op},
        {"tag", condition.tag},
        {"value", condition.value},
        {"currentValue", increment ? updatedCurrentValue(condition) : initialCurrentValue(condition)},
        {"value_array", condition.value_array},
    });
}

std::string KJFeedConditions::initialCurrentValue(const KJFeedConditions& condition) {
    if (!condition.currentValue.empty()) return condition.currentValue;
    if (isCounting(condition.type)) return "0";
    if (isDated(condition.type)) return blqNextRepeatConditonDate(condition.value, condition.type);
    return condition.currentValue;
}

std::string KJFeedConditions::updatedCurrentValue(const KJFeedConditions& condition) {
    if (isCounting(condition.type)) {
        return std::to_string(Value(condition.currentValue).integerValue() + 1);
    }
    if (isDated(condition.type)) return blqNextRepeatConditonDate(condition.value, condition.type);
    return "";
}

std::string KJFeedConditions::jsonToString(const Value& array, const std::string& name) {
    Value object = Value::dictionary({{name, array}});
    return object.toJSON(true).value_or("");
}

std::string KJFeedConditions::savedStateKey(const std::string& name, const std::string& feedId) {
    return name + "_" + feedId;
}

}  // namespace brindlecue
