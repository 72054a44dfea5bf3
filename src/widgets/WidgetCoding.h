#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/DecodingError.h"
#include "platform/Value.h"

// How every record of a widget document is read from JSON (and written back).
//
// A record lists its fields in declaration order with `fields()`, a tuple of `field(name,
// &Record::member)`. A member of type std::optional<T> is optional (an absent key or null leaves
// it empty); any other member is required (an absent key fails with keyNotFound, null with
// valueNotFound). Document keys pass through keyFromKebabCase before they are matched, exactly
// and case-sensitively, with the field names; keys that match no field are ignored. Fields are
// decoded in order and the first failure ends the whole document: nothing is partly decoded.
//
// Kinds: text takes only a JSON string; an integer only a whole JSON number within the 64-bit
// range (a fraction or an out-of-range number fails as data that does not fit); a flag only true
// or false; a list only an array whose every element decodes; a record only an object. A type
// with its own `decodeWidgetValue` (MixedValue, WidgetUUID) decides for itself.
namespace brindlecue::widgets {

// A coding key: a text, and for a position in a list also its index.
struct AnyKey {
    std::string stringValue;
    std::optional<int64_t> intValue;

    explicit AnyKey(std::string text) : stringValue(std::move(text)) {}
    explicit AnyKey(int64_t index) : stringValue(std::to_string(index)), intValue(index) {}
};

using CodingPath = std::vector<AnyKey>;

// The parser's key-decoding strategy, on the last key of the path: a key with an index is
// returned unchanged; otherwise the text is split at every "-" (empty pieces dropped), each
// piece gets an upper-case first character, the pieces are joined, and the first character of
// the result is made lower case ("icon-placement" -> "iconPlacement", "list_type" unchanged,
// "ID" -> "iD", "a--b" -> "aB").
AnyKey keyFromKebabCase(const CodingPath& codingPath);

// "a.b[0].c" for error texts.
std::string describeCodingPath(const CodingPath& path);

// A decoding failure with the path where it happened.
DecodingError widgetDecodingError(DecodingError::Kind kind, const CodingPath& path, const std::string& what);

template <class R, class T>
struct Field {
    const char* name;
    T R::*member;
};

template <class R, class T>
constexpr Field<R, T> field(const char* name, T R::*member) {
    return {name, member};
}

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

template <class R>
concept WidgetRecord = requires { R::fields(); };

template <class T>
concept SelfDecoding = requires(const platform::Value& v, const CodingPath& p) {
    { T::decodeWidgetValue(v, p) } -> std::same_as<T>;
};

// The keys of one JSON object after key conversion, first occurrence first.
class ConvertedObject {
public:
    ConvertedObject(const platform::Dictionary& object, const CodingPath& path);
    const platform::Value* find(std::string_view key) const;

private:
    std::vector<std::pair<std::string, const platform::Value*>> entries_;
};

// ---- Scalars.
std::string decodeText(const platform::Value& value, const CodingPath& path);
int64_t decodeInteger(const platform::Value& value, const CodingPath& path);
bool decodeFlag(const platform::Value& value, const CodingPath& path);

template <class T>
T decodeWidgetValue(const platform::Value& value, CodingPath& path);

template <class R>
R decodeRecord(const platform::Value& value, CodingPath& path) {
    const platform::Dictionary* object = value.getDictionary();
    if (!object) {
        throw widgetDecodingError(DecodingError::Kind::typeMismatch, path,
                                  "Expected to decode a keyed object but found something else.");
    }
    ConvertedObject converted(*object, path);
    R record{};
    std::apply(
        [&](const auto&... fields) {
            auto one = [&](const auto& f) {
                using Member = std::remove_cvref_t<decltype(record.*(f.member))>;
                const platform::Value* found = converted.find(f.name);
                path.emplace_back(std::string(f.name));
                if constexpr (IsOptional<Member>::value) {
                    if (found && !found->isNil()) {
                        record.*(f.member) = decodeWidgetValue<typename Member::value_type>(*found, path);
                    }
                } else {
                    if (!found) {
                        path.pop_back();
                        throw widgetDecodingError(DecodingError::Kind::keyNotFound, path,
                                                  std::string("No value associated with key \"") + f.name + "\".");
                    }
                    if (found->isNil()) {
                        throw widgetDecodingError(DecodingError::Kind::valueNotFound, path,
                                                  "Expected a value but found null instead.");
                    }
                    record.*(f.member) = decodeWidgetValue<Member>(*found, path);
                }
                path.pop_back();
            };
            (one(fields), ...);
        },
        R::fields());
    return record;
}

template <class T>
T decodeWidgetValue(const platform::Value& value, CodingPath& path) {
    if constexpr (std::is_same_v<T, std::string>) {
        return decodeText(value, path);
    } else if constexpr (std::is_same_v<T, int64_t>) {
        return decodeInteger(value, path);
    } else if constexpr (std::is_same_v<T, bool>) {
        return decodeFlag(value, path);
    } else if constexpr (IsVector<T>::value) {
        const platform::Array* items = value.getArray();
        if (!items) {
            throw widgetDecodingError(DecodingError::Kind::typeMismatch, path,
                                      "Expected to decode an array but found something else.");
        }
        T out;
        out.reserve(items->size());
        for (size_t i = 0; i < items->size(); ++i) {
            path.emplace_back(static_cast<int64_t>(i));
            if ((*items)[i].isNil()) {
                throw widgetDecodingError(DecodingError::Kind::valueNotFound, path,
                                          "Expected a value but found null instead.");
            }
            out.push_back(decodeWidgetValue<typename T::value_type>((*items)[i], path));
            path.pop_back();
        }
        return out;
    } else if constexpr (SelfDecoding<T>) {
        return T::decodeWidgetValue(value, path);
    } else {
        static_assert(WidgetRecord<T>, "a widget field must be text, an integer, a flag, a list or a record");
        return decodeRecord<T>(value, path);
    }
}

// Decodes a whole document rooted at a record. Throws DecodingError, or the error of a value
// type (MixedValue::QuantumError).
template <class R>
R decodeWidgetDocument(const platform::Value& root) {
    CodingPath path;
    return decodeRecord<R>(root, path);
}

// ---- Writing back. Each field goes under its own name (no key conversion), optional fields
// only when they hold a value; a value type writes what its `encodeWidgetValue` gives (nothing,
// for an absent result).
template <class T>
std::optional<platform::Value> encodeWidgetValue(const T& value);

template <class R>
platform::Value encodeRecord(const R& record) {
    platform::Dictionary out;
    std::apply(
        [&](const auto&... fields) {
            auto one = [&](const auto& f) {
                const auto& member = record.*(f.member);
                using Member = std::remove_cvref_t<decltype(member)>;
                std::optional<platform::Value> written;
                if constexpr (IsOptional<Member>::value) {
                    if (member) written = encodeWidgetValue(*member);
                } else {
                    written = encodeWidgetValue(member);
                }
                if (written) out.set(f.name, std::move(*written));
            };
            (one(fields), ...);
        },
        R::fields());
    return platform::Value(std::move(out));
}

template <class T>
std::optional<platform::Value> encodeWidgetValue(const T& value) {
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, int64_t> || std::is_same_v<T, bool>) {
        return platform::Value(value);
    } else if constexpr (IsVector<T>::value) {
        platform::Array items;
        for (const auto& item : value) {
            if (auto written = encodeWidgetValue(item)) items.push_back(std::move(*written));
        }
        return platform::Value(std::move(items));
    } else if constexpr (WidgetRecord<T>) {
        return encodeRecord(value);
    } else {
        return value.encodeWidgetValue();
    }
}

}  // namespace brindlecue::widgets
