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

namespace platform::bplist {
struct WrittenValue;
}

class KJTipBaseElement;

// A key of stored forms (a property name, a side of a four-sided value, a nested record's key).
// There is one key of each text in the process, known by a number, so that a writer that meets a
// key many times keeps what it made of it by that number. Made on first use and never destroyed.
class KJStoredKey {
public:
    static const KJStoredKey& named(std::string_view text);
    // One more than the highest number given so far.
    static uint32_t count();

    KJStoredKey(const KJStoredKey&) = delete;
    KJStoredKey& operator=(const KJStoredKey&) = delete;

    const std::string& text() const { return text_; }
    uint32_t id() const { return id_; }

private:
    KJStoredKey(std::string text, uint32_t id) : text_(std::move(text)), id_(id) {}

    std::string text_;
    uint32_t id_;
};

// The entries of one record's stored form in order, as its class gives them
// (KJTipBaseElement::storedForm): the nested records and keys of its own, then its convertible
// properties. A key given again keeps its first place and takes the later value, as setting it
// in a dictionary does. Texts are borrowed from the record, which must outlive the form.
//
// The one walk of a record serves two writers: the dictionary of serializeToDictionary, and the
// property list written on its own (writeOnItsOwn), whose bytes are those bplist::writeOnItsOwn
// gives for that dictionary, made without making it.
class KJStoredForm {
public:
    enum class Kind : uint8_t { Text, Colour, Integer, Real, Boolean, Record, Records, Texts };
    struct Entry {
        const KJStoredKey* key;
        Kind kind;
        uint32_t keyId;  // key->id(), kept beside it for the writer that looks keys up by number
        union {
            bool boolean;
            int64_t integer;
            double real;
            // Colour: red, green, blue, alpha, and whether there is one.
            struct {
                double components[4];
                bool present;
            } colour;
            // Record: the nested record (never null).
            const KJTipBaseElement* record;
            const std::vector<std::string>* texts;
            // Records: its records in records_.
            struct {
                uint32_t begin, end;
            } range;
        };
        std::string_view text;

        // A colour's text, "#AARRGGBB" (empty for none).
        std::string colourText() const;
    };

    void text(const KJStoredKey& key, std::string_view value) { put(key, Kind::Text).text = value; }
    void colour(const KJStoredKey& key, const std::optional<platform::Color>& value) {
        setColour(put(key, Kind::Colour), value);
    }
    void integer(const KJStoredKey& key, int64_t value) { put(key, Kind::Integer).integer = value; }
    void real(const KJStoredKey& key, double value) { put(key, Kind::Real).real = value; }
    void boolean(const KJStoredKey& key, bool value) { put(key, Kind::Boolean).boolean = value; }
    // A nested record's stored form under the key; nothing for none.
    void record(const KJStoredKey& key, const KJTipBaseElement* nested) {
        if (nested) {
            put(key, Kind::Record).record = nested;
            nests_ = true;
        }
    }
    template <class T>
    void record(const KJStoredKey& key, const std::shared_ptr<T>& nested) {
        record(key, static_cast<const KJTipBaseElement*>(nested.get()));
    }
    // A list of the records' stored forms (records that are none left out).
    template <class T>
    void records(const KJStoredKey& key, const std::vector<std::shared_ptr<T>>& list) {
        const auto begin = static_cast<uint32_t>(records_.size());
        for (const auto& item : list)
            if (item) records_.push_back(item.get());
        Entry& entry = put(key, Kind::Records);
        entry.range = {begin, static_cast<uint32_t>(records_.size())};
        nests_ = true;
    }
    // A list of texts.
    void texts(const KJStoredKey& key, const std::vector<std::string>& list) { put(key, Kind::Texts).texts = &list; }

    std::span<const Entry> entries() const { return {entries_.data(), used_}; }
    // Whether a nested record or a list of them was given (an entry may have taken another value since).
    bool nests() const { return nests_; }
    std::span<const KJTipBaseElement* const> recordsOf(const Entry& entry) const {
        return {records_.data() + entry.range.begin, entry.range.end - entry.range.begin};
    }
    // Forgets the entries, keeping the memory for the next record.
    void clear();

    // While one lives, entries are added without looking for their keys among those given before:
    // for a caller that knows none is there (a record class's distinct property keys).
    class Adding {
    public:
        Adding(KJStoredForm& form, bool unchecked) : form_(form), before_(form.unchecked_) {
            form.unchecked_ = unchecked;
        }
        ~Adding() { form_.unchecked_ = before_; }
        Adding(const Adding&) = delete;
        Adding& operator=(const Adding&) = delete;

    private:
        KJStoredForm& form_;
        bool before_;
    };

    // The record's stored form as a dictionary (absent when its class gives none).
    static platform::Value dictionaryOf(const KJTipBaseElement& record);
    // The entries taken into a dictionary after what it holds, as setting them one by one would.
    void addTo(platform::Dictionary& out) const;
    // The record's stored form written on its own as a property list (bplist::writeOnItsOwn of
    // dictionaryOf, the same objects); null when a property list cannot hold it.
    static std::shared_ptr<const platform::bplist::WrittenValue> writeOnItsOwn(const KJTipBaseElement& record);
    // The same for the list of the records' stored forms, in order.
    static std::shared_ptr<const platform::bplist::WrittenValue> writeListOnItsOwn(
        std::span<const KJTipBaseElement* const> records);

private:
    // The class's convertible properties are written by their plan straight into the entries.
    friend class KJTipBaseElement;

    static void setColour(Entry& entry, const std::optional<platform::Color>& value) {
        entry.colour.present = value.has_value();
        if (value) {
            entry.colour.components[0] = value->red;
            entry.colour.components[1] = value->green;
            entry.colour.components[2] = value->blue;
            entry.colour.components[3] = value->alpha;
        }
    }
    // Room for n more entries at the end, counted as given: for a caller that fills each of them
    // with keys not given before.
    Entry* extend(size_t n) {
        while (capacity_ - used_ < n) grow();
        Entry* added = entries_.data() + used_;
        used_ += n;
        return added;
    }

    Entry& put(const KJStoredKey& key, Kind kind) {
        if (!unchecked_) {
            if (Entry* given = find(key)) {
                // Given before: the entry keeps its place and takes the new value.
                given->kind = kind;
                return *given;
            }
        }
        if (used_ == capacity_) grow();
        Entry& entry = entries_[used_++];
        entry.key = &key;
        entry.kind = kind;
        entry.keyId = key.id();
        return entry;
    }
    Entry* find(const KJStoredKey& key);
    void grow();

    std::vector<Entry> entries_;
    size_t used_ = 0;
    size_t capacity_ = 0;  // entries_.size(), kept to spare the division
    std::vector<const KJTipBaseElement*> records_;
    bool unchecked_ = false;
    bool nests_ = false;
};

}  // namespace brindlecue
