#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Color.h"
#include "platform/Value.h"

namespace brindlecue {

// Reads the fields of one object of a campaign document (or of a stored record) for a record
// class. A missing key and the null object read alike: no text, 0, false, no colour. Numbers
// and texts convert into each other as the platform does (a number becomes its decimal text;
// text is read as the number it begins with). A value of a kind that cannot stand for the field
// (a list where text is expected, text where a dictionary is) gives the field's default and a line
// in the legacy log:
//   Model: <record> "<key>" is <kind> where <kind> is expected; the default is used.
// A list entry of the wrong kind is skipped with a line of the same form.
class KJDocumentReader {
public:
    // The record's name (for the log lines) is a literal or a record class's name. The object is
    // read where it is, not copied: it must outlive the reader and stay as it is while read.
    KJDocumentReader(const platform::Value& object, std::string_view record);
    KJDocumentReader(platform::Value&& object, std::string_view record) = delete;
    // The object with entries given over it, read as the dictionary of its entries and then those
    // (each taking the place of the object's entry of its key) would read, without making it. The
    // entries are read where they are too.
    KJDocumentReader(const platform::Value& object, std::span<const platform::Dictionary::Entry> over,
                     std::string_view record);

    const platform::Value& object() const { return object_; }
    bool isDictionary() const { return object_.isDictionary(); }
    // The key is there, holding any value, null included.
    bool has(std::string_view key) const;
    // The value as it stands; absent for a missing key.
    const platform::Value& value(std::string_view key) const {
        const uint64_t bit = keyBit(key);
        if (overKeys_ & bit)
            for (const auto& [given, v] : over_)
                if (given == key) return v;
        return keys_ & bit ? find(key) : absentValue();
    }

    // Text, or a number or boolean as its text; none for a missing key or null.
    std::optional<std::string> text(std::string_view key) const;
    std::string textOrEmpty(std::string_view key) const { return text(key).value_or(""); }
    // The text as a value for the word converters (absent when there is none).
    platform::Value word(std::string_view key) const;
    // A number read in single precision, widened; text gives the number it begins with.
    double number(std::string_view key) const;
    // The same in double precision (durations and delays).
    double doubleNumber(std::string_view key) const;
    int64_t integer(std::string_view key) const;
    bool boolean(std::string_view key) const;
    // A colour parsed from text; none for text that does not parse.
    std::optional<platform::Color> color(std::string_view key) const;
    // The dictionary or list under the key (where it is in the object); absent otherwise.
    const platform::Value& dictionary(std::string_view key) const;
    const platform::Value& array(std::string_view key) const;
    // A size: text ending in "%" is that fraction (80% is 0.8), anything else its number.
    double size(std::string_view key) const;

    // The records R::createFromFeed builds from the entries of the list under the key, in order;
    // entries it refuses are skipped (those that are no dictionary logged). None when the key holds no list.
    template <class R>
    std::optional<std::vector<std::shared_ptr<R>>> records(std::string_view key) const {
        const platform::Value& list = array(key);
        if (!list.isArray()) return std::nullopt;
        std::vector<std::shared_ptr<R>> out;
        for (size_t i = 0; i < list.count(); ++i) {
            if (auto record = R::createFromFeed(list[i])) {
                out.push_back(std::move(record));
            } else if (!list[i].isDictionary()) {
                wrongEntry(key, i, list[i], "a dictionary");
            }
        }
        return out;
    }

    // Asks for the memory a value's contents lie in (a dictionary's or list's node, a long text's
    // bytes), or the entries of a dictionary or list, ahead of reading it: a feed's documents are
    // set up long before they are decoded, so reading them mostly waits for memory otherwise.
    static void prefetch(const platform::Value& value);
    static void prefetchEntries(const platform::Value& value);
    // The contents of each of a dictionary's values (whose entries must be at hand).
    static void prefetchValues(const platform::Value& value);

    // Logs that the key holds a value of the wrong kind.
    void wrongKind(std::string_view key, std::string_view expected) const;
    // Logs that an entry of the list under the key is skipped for its kind.
    void wrongEntry(std::string_view key, size_t index, const platform::Value& entry,
                    std::string_view expected) const;
    static std::string kindName(const platform::Value& value);

private:
    // A record reads most of its keys from documents that hold only a few of them, each lookup a
    // scan of the entries (which, in a feed set up long before, mostly waits for memory). The keys
    // the object holds set a bit each, from their lengths and a few of their bytes, when the
    // reader is made; a key whose bit is not set is not there, and is not looked for.
    static uint64_t keyBit(std::string_view key) {
        if (key.empty()) return 1;
        const uint64_t mix = key.size() | uint64_t{static_cast<unsigned char>(key.front())} << 8 |
                             uint64_t{static_cast<unsigned char>(key[key.size() / 2])} << 16 |
                             uint64_t{static_cast<unsigned char>(key.back())} << 24;
        return uint64_t{1} << ((mix * 0x9E3779B97F4A7C15u) >> 58);
    }
    static const platform::Value& absentValue();
    // The value under a key whose bit is set, or absent.
    const platform::Value& find(std::string_view key) const;

    // True when the value under the key may stand for a number or text (absent, null, number,
    // text); otherwise logs.
    bool scalar(const platform::Value& v, std::string_view key, std::string_view expected) const;

    const platform::Value& object_;
    std::span<const platform::Dictionary::Entry> over_;
    // The object's entries (none unless it is a dictionary), and the bits of their keys and of
    // the keys given over them.
    const platform::Dictionary::Entry* entries_ = nullptr;
    const platform::Dictionary::Entry* entriesEnd_ = nullptr;
    uint64_t keys_ = 0;
    uint64_t overKeys_ = 0;
    // A literal or a record class's name, which outlives the reader.
    std::string_view record_;
};

}  // namespace brindlecue
