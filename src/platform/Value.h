#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Date.h"

namespace brindlecue::platform {

class Value;
class Error;

using Data = std::vector<uint8_t>;
using Array = std::vector<Value>;

// A dictionary with text keys that keeps insertion order. Setting an existing key replaces its
// value in place; removing a key keeps the order of the others.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);
    // The entries in order; a later entry with a key seen before replaces that entry's value in
    // place, as set does (found by hashing, so large dictionaries build in linear time).
    explicit Dictionary(std::vector<Entry> entries);
    // The entries as they are, for a caller that knows no key repeats among them (a record's
    // distinct property names): nothing is looked for.
    static Dictionary withDistinctKeys(std::vector<Entry> entries);

    // Defined below Value (a vector of entries cannot be used before Value is complete).
    size_t size() const;
    bool empty() const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value under the key, or nullptr.
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    void set(std::string key, Value value);
    bool remove(std::string_view key);
    void clear();
    std::vector<std::string> keys() const;

    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;
    std::vector<Entry>::iterator begin();
    std::vector<Entry>::iterator end();

    // Order-insensitive, as the platform compares dictionaries.
    bool operator==(const Dictionary& o) const;

private:
    std::vector<Entry> entries_;
};

struct Null {
    bool operator==(const Null&) const = default;
};

enum class PropertyListFormat { XML, Binary };

// The platform's untyped object (dictionary, array, number, text, date, data, null), plus
// "absent", which stands for a missing value (a nil object) and is kept apart from null.
// Booleans, integers and reals are distinct kinds. Arrays and dictionaries are shared
// copy-on-write, so copying a Value is cheap.
class Value {
public:
    enum class Type { Absent, Null, Bool, Integer, Real, String, Date, Data, Array, Dictionary };

    Value() = default;  // absent
    Value(std::nullptr_t) : v_(Null{}) {}
    Value(Null) : v_(Null{}) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(int64_t{i}) {}
    Value(unsigned i) : v_(int64_t{i}) {}
    Value(long i) : v_(int64_t{i}) {}
    Value(long long i) : v_(int64_t{i}) {}
    Value(unsigned long i) : v_(static_cast<int64_t>(i)) {}
    Value(unsigned long long i) : v_(static_cast<int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(float f) : v_(double{f}) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(platform::Date d) : v_(d) {}
    Value(platform::Data d) : v_(std::make_shared<platform::Data>(std::move(d))) {}
    Value(platform::Array a) : v_(std::make_shared<platform::Array>(std::move(a))) {}
    Value(platform::Dictionary d) : v_(std::make_shared<platform::Dictionary>(std::move(d))) {}

    static Value null() { return Value(Null{}); }
    static Value array(std::initializer_list<Value> items = {}) { return Value(platform::Array(items)); }
    static Value dictionary(std::initializer_list<platform::Dictionary::Entry> entries = {}) {
        return Value(platform::Dictionary(entries));
    }
    static Value data(const void* bytes, size_t length);

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isAbsent() const { return type() == Type::Absent; }
    bool isNull() const { return type() == Type::Null; }
    // Absent or null: "nothing there" in either sense.
    bool isNil() const { return isAbsent() || isNull(); }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    // A number of any kind (Boolean, integer or real), as the platform's number object.
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Typed access: nullptr / nullopt when the value is of another kind.
    const std::string* getString() const { return std::get_if<std::string>(&v_); }
    const platform::Array* getArray() const;
    const platform::Dictionary* getDictionary() const;
    const platform::Data* getData() const;
    std::optional<platform::Date> getDate() const;
    std::optional<bool> getBool() const;
    // Only for the integer kind.
    std::optional<int64_t> getInteger() const;
    // Any number kind, as a real.
    std::optional<double> getNumber() const;

    // The platform's number and text conversions: numbers convert among themselves, text is read
    // leniently (leading spaces, a sign, digits; nothing readable gives 0), other kinds give 0/false.
    bool boolValue() const;
    int64_t integerValue() const;
    double doubleValue() const;
    // The text itself for a string, else the description.
    std::string stringValue() const;

    // Lookup that never fails: a missing key, an index out of range or a value of another kind
    // gives absent.
    const Value& operator[](std::string_view key) const;
    const Value& operator[](const char* key) const { return (*this)[std::string_view(key)]; }
    const Value& operator[](size_t index) const;
    const Value& operator[](int index) const { return (*this)[static_cast<size_t>(index)]; }
    // Number of elements of an array or dictionary, 0 otherwise.
    size_t count() const;

    // Mutation. set/remove turn an absent value into an empty dictionary first; append turns an
    // absent value into an empty array. Calling them on another kind is a programming error and
    // throws std::logic_error.
    Value& set(std::string key, Value value);
    bool remove(std::string_view key);
    Value& append(Value value);
    platform::Dictionary& mutableDictionary();
    platform::Array& mutableArray();

    // The platform's "%@" text: dictionaries as "{\n    key = value;\n}", arrays as "(\n    a,\n)",
    // text quoted only where it needs to be, null as "<null>", data as "{length = n, bytes = 0x..}".
    std::string description() const;

    // JSON (nlohmann/json underneath). Reading keeps key order and keeps integers, reals,
    // Booleans and null apart; a document that is not valid JSON gives nullopt and fills error.
    // Fragments (a bare string or number) are accepted as the platform does with its
    // "allow fragments" option.
    static std::optional<Value> fromJSON(std::string_view text, Error* error = nullptr);
    // Writing fails (nullopt) for values JSON cannot hold: dates, data, absent, non-finite reals.
    std::optional<std::string> toJSON(bool pretty = false, Error* error = nullptr) const;
    // True when the value is an array or dictionary that toJSON can write.
    bool isValidJSONObject() const;

    // Property lists, XML or binary, detected on reading. Binary ones are read and written by the
    // library's own reader and writer (platform/BinaryPropertyList), which check every offset and
    // keep texts with the character U+0000 whole; XML ones by libplist. XML cannot hold such a
    // text or key. Null and absent cannot be written.
    static std::optional<Value> fromPropertyList(const platform::Data& bytes, Error* error = nullptr);
    std::optional<platform::Data> toPropertyList(PropertyListFormat format, Error* error = nullptr) const;

    // Deep equality; an integer and a real are equal when their values are; Booleans only equal
    // Booleans.
    bool operator==(const Value& o) const;

private:
    using Variant = std::variant<std::monostate, Null, bool, int64_t, double, std::string, platform::Date,
                                 std::shared_ptr<platform::Data>, std::shared_ptr<platform::Array>,
                                 std::shared_ptr<platform::Dictionary>>;
    // Copy-on-write: arrays, dictionaries and data are shared between copies until one is changed.
    Variant v_;
};

inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline void Dictionary::clear() { entries_.clear(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const { return entries_.begin(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const { return entries_.end(); }
inline std::vector<Dictionary::Entry>::iterator Dictionary::begin() { return entries_.begin(); }
inline std::vector<Dictionary::Entry>::iterator Dictionary::end() { return entries_.end(); }

}  // namespace brindlecue::platform
