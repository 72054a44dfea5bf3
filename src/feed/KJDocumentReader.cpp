#include "feed/KJDocumentReader.h"

#include <algorithm>
#include <cstring>

#include "feed/KJTipUtil.h"
#include "foundation/KJLog.h"
#include "foundation/UIColorKJExt.h"

namespace brindlecue {

using platform::Value;

const Value& KJDocumentReader::absentValue() {
    static const Value kAbsent;
    return kAbsent;
}

KJDocumentReader::KJDocumentReader(const Value& object, std::string_view record)
    : KJDocumentReader(object, {}, record) {}

KJDocumentReader::KJDocumentReader(const Value& object, std::span<const platform::Dictionary::Entry> over,
                                   std::string_view record)
    : object_(object), over_(over), record_(record) {
    for (const auto& entry : over_) overKeys_ |= keyBit(entry.first);
    const platform::Dictionary* dictionary = object_.getDictionary();
    if (!dictionary || dictionary->empty()) return;
    entries_ = &*dictionary->begin();
    entriesEnd_ = entries_ + dictionary->size();
    // The values' own contents are asked for while the record reads its fields, before it reads
    // the dictionaries and texts it holds.
    for (const auto* entry = entries_; entry != entriesEnd_; ++entry) {
        keys_ |= keyBit(entry->first);
        prefetch(entry->second);
    }
}

void KJDocumentReader::prefetch(const Value& value) {
    switch (value.type()) {
        case Value::Type::String:
            __builtin_prefetch(value.getString()->data());
            break;
        case Value::Type::Array:
            __builtin_prefetch(value.getArray());
            break;
        case Value::Type::Dictionary:
            __builtin_prefetch(value.getDictionary());
            break;
        default:
            break;
    }
}

void KJDocumentReader::prefetchValues(const Value& value) {
    if (const platform::Dictionary* dictionary = value.getDictionary())
        for (const auto& entry : *dictionary) prefetch(entry.second);
}

void KJDocumentReader::prefetchEntries(const Value& value) {
    constexpr uintptr_t kLine = 64;
    const void* begin = nullptr;
    const void* end = nullptr;
    if (const platform::Dictionary* dictionary = value.getDictionary(); dictionary && !dictionary->empty()) {
        begin = &*dictionary->begin();
        end = &*dictionary->begin() + dictionary->size();
    } else if (const platform::Array* array = value.getArray(); array && !array->empty()) {
        begin = array->data();
        end = array->data() + array->size();
    }
    // A dozen lines at most: the documents' objects are small, and a long list is read in order.
    auto line = reinterpret_cast<uintptr_t>(begin) & ~(kLine - 1);
    const auto last = std::min(reinterpret_cast<uintptr_t>(end), line + 12 * kLine);
    for (; line < last; line += kLine) __builtin_prefetch(reinterpret_cast<const void*>(line));
}

namespace {

// Whether a key is the text, its bytes read a word at a time for the short keys documents hold
// rather than through a call (the lengths are equal).
bool sameBytes(const char* a, const char* b, size_t n) {
    auto word = [](const char* p) {
        uint64_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    };
    auto half = [](const char* p) {
        uint32_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    };
    if (n > 16) return std::memcmp(a, b, n) == 0;
    // The first and the last eight (or four) bytes, which overlap for the lengths between.
    if (n >= 8) return word(a) == word(b) && word(a + n - 8) == word(b + n - 8);
    if (n >= 4) return half(a) == half(b) && half(a + n - 4) == half(b + n - 4);
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

const Value& KJDocumentReader::find(std::string_view key) const {
    for (const auto* entry = entries_; entry != entriesEnd_; ++entry) {
        const std::string& stored = entry->first;
        if (stored.size() == key.size() && sameBytes(stored.data(), key.data(), key.size()))
            return entry->second;
    }
    return absentValue();
}

bool KJDocumentReader::has(std::string_view key) const {
    const uint64_t bit = keyBit(key);
    if (overKeys_ & bit)
        for (const auto& entry : over_)
            if (entry.first == key) return true;
    return (keys_ & bit) && &find(key) != &absentValue();
}

std::string KJDocumentReader::kindName(const Value& value) {
    switch (value.type()) {
        case Value::Type::Absent:
            return "missing";
        case Value::Type::Null:
            return "null";
        case Value::Type::Bool:
            return "a boolean";
        case Value::Type::Integer:
        case Value::Type::Real:
            return "a number";
        case Value::Type::String:
            return "text";
        case Value::Type::Date:
            return "a date";
        case Value::Type::Data:
            return "data";
        case Value::Type::Array:
            return "a list";
        case Value::Type::Dictionary:
            return "a dictionary";
    }
    return "unknown";
}

void KJDocumentReader::wrongKind(std::string_view key, std::string_view expected) const {
    KJLog(4, "Model: %@ \"%@\" is %@ where %@ is expected; the default is used.", record_, key,
          kindName(value(key)), expected);
}

void KJDocumentReader::wrongEntry(std::string_view key, size_t index, const Value& entry,
                                  std::string_view expected) const {
    KJLog(4, "Model: %@ \"%@\" entry %@ is %@ where %@ is expected; the entry is skipped.", record_, key,
          index, kindName(entry), expected);
}

bool KJDocumentReader::scalar(const Value& v, std::string_view key, std::string_view expected) const {
    if (v.isNil() || v.isNumber() || v.isString()) return true;
    wrongKind(key, expected);
    return false;
}

std::optional<std::string> KJDocumentReader::text(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil() || !scalar(v, key, "text")) return std::nullopt;
    return v.stringValue();
}

Value KJDocumentReader::word(std::string_view key) const {
    auto t = text(key);
    return t ? Value(std::move(*t)) : Value();
}

double KJDocumentReader::number(std::string_view key) const {
    return static_cast<float>(doubleNumber(key));
}

double KJDocumentReader::doubleNumber(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil() || !scalar(v, key, "a number")) return 0;
    return v.doubleValue();
}

int64_t KJDocumentReader::integer(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil() || !scalar(v, key, "a number")) return 0;
    return v.integerValue();
}

bool KJDocumentReader::boolean(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil() || !scalar(v, key, "a boolean")) return false;
    return v.boolValue();
}

std::optional<platform::Color> KJDocumentReader::color(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil()) return std::nullopt;
    if (!v.isString()) {
        wrongKind(key, "colour text");
        return std::nullopt;
    }
    return UIColorKJExt::blqColorFromString(v);
}

const Value& KJDocumentReader::dictionary(std::string_view key) const {
    const Value& v = value(key);
    if (v.isDictionary()) return v;
    if (!v.isNil()) wrongKind(key, "a dictionary");
    return absentValue();
}

const Value& KJDocumentReader::array(std::string_view key) const {
    const Value& v = value(key);
    if (v.isArray()) return v;
    if (!v.isNil()) wrongKind(key, "a list");
    return absentValue();
}

double KJDocumentReader::size(std::string_view key) const {
    const Value& v = value(key);
    if (v.isNil() || !scalar(v, key, "a size")) return 0;
    return KJTipUtil::parseDPOrPercentage(v);
}

}  // namespace brindlecue
