#include "network/library/KJAFQueryStringPair.h"

#include <algorithm>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

using platform::Value;

namespace {

// The text a value stands for in a query: a string as it is, anything else as its description.
std::string describe(const Value& value) {
    if (const std::string* s = value.getString()) return *s;
    if (value.isBool()) return *value.getBool() ? "1" : "0";
    return value.description();
}

}  // namespace

std::string KJAFPercentEscapedStringFromString(const std::string& text) {
    static const platform::CharacterSet allowed =
        platform::CharacterSet::urlQueryAllowed().removing(":#[]@").removing("!$&'()*+,;=");
    // Escaping works byte by byte on UTF-8, so no character is ever split, however long the text.
    return platform::URL::addingPercentEncoding(text, allowed);
}

std::string KJAFQueryStringPair::URLEncodedStringValue() const {
    if (value_.isNil()) return KJAFPercentEscapedStringFromString(field_);
    return KJAFPercentEscapedStringFromString(field_) + "=" + KJAFPercentEscapedStringFromString(describe(value_));
}

std::vector<KJAFQueryStringPair> KJAFQueryStringPairsFromKeyAndValue(const std::optional<std::string>& key,
                                                                     const Value& value) {
    std::vector<KJAFQueryStringPair> pairs;
    if (const platform::Dictionary* dictionary = value.getDictionary()) {
        std::vector<std::string> keys = dictionary->keys();
        std::sort(keys.begin(), keys.end());
        for (const std::string& inner : keys) {
            const Value& nested = *dictionary->find(inner);
            if (nested.isAbsent()) continue;
            auto more = KJAFQueryStringPairsFromKeyAndValue(key ? *key + "[" + inner + "]" : inner, nested);
            pairs.insert(pairs.end(), more.begin(), more.end());
        }
    } else if (const platform::Array* array = value.getArray()) {
        for (const Value& element : *array) {
            auto more = KJAFQueryStringPairsFromKeyAndValue(key.value_or("") + "[]", element);
            pairs.insert(pairs.end(), more.begin(), more.end());
        }
    } else {
        pairs.emplace_back(key.value_or("(null)"), value);
    }
    return pairs;
}

std::vector<KJAFQueryStringPair> KJAFQueryStringPairsFromDictionary(const Value& dictionary) {
    return KJAFQueryStringPairsFromKeyAndValue(std::nullopt, dictionary);
}

std::string KJAFQueryStringFromParameters(const Value& parameters) {
    std::string query;
    bool first = true;
    for (const KJAFQueryStringPair& pair : KJAFQueryStringPairsFromKeyAndValue(std::nullopt, parameters)) {
        if (!first) query += "&";
        first = false;
        query += pair.URLEncodedStringValue();
    }
    return query;
}

}  // namespace brindlecue
