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

namespace {

// Reads a condition text in the very form getUpdatedFeedConditions writes when no text needs
// escaping (the members in their order, each value plain text), as the general reading would;
// false for any other text, which is left to it.
bool readPlainConditionsText(std::string_view text, const std::string& name, KJFeedConditions::List& out) {
    size_t at = 0;
    auto literal = [&](std::string_view expected) {
        if (text.substr(at, expected.size()) != expected) return false;
        at += expected.size();
        return true;
    };
    auto plain = [&](std::string_view& value) {
        if (!literal("\"")) return false;
        const size_t start = at;
        for (; at < text.size(); ++at) {
            const auto c = static_cast<unsigned char>(text[at]);
            if (c == '"') {
                value = text.substr(start, at++ - start);
                return true;
            }
            if (c < 0x20 || c >= 0x7F || c == '\\') return false;
        }
        return false;
    };
    static constexpr std::string_view kMembers[] = {"type", "op", "tag", "value", "currentValue", "value_array"};
    std::string_view listName;
    if (!literal("{\n  ") || !plain(listName) || listName != name || !literal(": [")) return false;
    KJFeedConditions::List list;
    if (!literal("]\n}")) {
        do {
            std::string_view values[std::size(kMembers)];
            if (!literal("\n    {")) return false;
            for (size_t i = 0; i < std::size(kMembers); ++i) {
                if (!literal(i == 0 ? "\n      \"" : ",\n      \"") || !literal(kMembers[i]) || !literal("\": ") ||
                    !plain(values[i]))
                    return false;
            }
            if (!literal("\n    }")) return false;
            auto condition = std::make_shared<KJFeedConditions>();
            condition->type = values[0];
            condition->op = values[1];
            condition->tag = values[2];
            condition->value = values[3];
            condition->currentValue = values[4];
            condition->value_array = Value(values[5]);
            list.push_back(std::move(condition));
        } while (literal(","));
        if (!literal("\n  ]\n}")) return false;
    }
    if (at != text.size()) return false;
    // As a condition object read: an empty current value takes its initial value.
    for (const auto& condition : list)
        if (condition->currentValue.empty())
            condition->currentValue = KJFeedConditions::initialCurrentValue(*condition);
    out = std::move(list);
    return true;
}

}  // namespace

KJFeedConditions::List KJFeedConditions::createConditionsObject(const Value& text, const std::string& name) {
    List list;
    if (const std::string* written = text.getString(); written && readPlainConditionsText(*written, name, list))
        return list;
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

namespace {

// Text that JSON writes between quotes as it is: printable ASCII without a quote or a backslash.
bool plainText(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '"' || c == '\\') return false;
    }
    return true;
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    out += text;
    out += '"';
}

// The condition text written as jsonToString writes the condition objects, without making them:
// false (and nothing to go by) when a text would need escaping or a list value is no text, which
// only the general writer writes.
bool writeConditionsText(const KJFeedConditions::List& conditions, const std::string& name, bool increment,
                         std::string& out) {
    out.clear();
    if (!plainText(name)) return false;
    out.reserve(64 + 160 * conditions.size());
    out += "{\n  ";
    appendQuoted(out, name);
    out += ": [";
    bool first = true;
    for (const auto& condition : conditions) {
        if (!condition) continue;
        const std::string current =
            increment ? KJFeedConditions::updatedCurrentValue(*condition)
                      : KJFeedConditions::initialCurrentValue(*condition);
        const std::string* list = condition->value_array.getString();
        if (!list || !plainText(condition->type) || !plainText(condition->op) || !plainText(condition->tag) ||
            !plainText(condition->value) || !plainText(current) || !plainText(*list))
            return false;
        out += first ? "\n    {\n      \"type\": " : ",\n    {\n      \"type\": ";
        first = false;
        appendQuoted(out, condition->type);
        out += ",\n      \"op\": ";
        appendQuoted(out, condition->op);
        out += ",\n      \"tag\": ";
        appendQuoted(out, condition->tag);
        out += ",\n      \"value\": ";
        appendQuoted(out, condition->value);
        out += ",\n      \"currentValue\": ";
        appendQuoted(out, current);
        out += ",\n      \"value_array\": ";
        appendQuoted(out, *list);
        out += "\n    }";
    }
    out += first ? "]\n}" : "\n  ]\n}";
    return true;
}

}  // namespace

std::string KJFeedConditions::getUpdatedFeedConditions(const List& conditions, const std::string& name,
                                                       bool increment) {
    std::string text;
    if (writeConditionsText(conditions, name, increment, text)) return text;
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
