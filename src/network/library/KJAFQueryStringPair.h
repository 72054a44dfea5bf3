#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue {

// One flattened parameter: the key path text (user[name], ids[]) and its leaf value.
class KJAFQueryStringPair {
public:
    KJAFQueryStringPair(std::string field, platform::Value value) : field_(std::move(field)), value_(std::move(value)) {}

    const std::string& field() const { return field_; }
    const platform::Value& value() const { return value_; }

    // "field=value", both escaped; a null (or absent) value gives the escaped field alone.
    std::string URLEncodedStringValue() const;

private:
    std::string field_;
    platform::Value value_;
};

// Percent-escapes everything but letters, digits and "-._~/?" (as UTF-8 bytes).
std::string KJAFPercentEscapedStringFromString(const std::string& text);
// Flattens the value under the key (none at the top level): dictionaries in ascending key order
// as key[inner], arrays in element order as key[], anything else as one pair.
std::vector<KJAFQueryStringPair> KJAFQueryStringPairsFromKeyAndValue(const std::optional<std::string>& key,
                                                                     const platform::Value& value);
std::vector<KJAFQueryStringPair> KJAFQueryStringPairsFromDictionary(const platform::Value& dictionary);
// The encoded pairs of the parameters, joined with "&".
std::string KJAFQueryStringFromParameters(const platform::Value& parameters);

}  // namespace brindlecue
