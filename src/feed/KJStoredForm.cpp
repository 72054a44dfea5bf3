#include "feed/KJStoredForm.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "feed/KJTipBaseElement.h"
#include "foundation/UIColorKJExt.h"
#include "platform/BinaryPropertyList.h"

namespace brindlecue {

using platform::Value;
using platform::bplist::Ref;

namespace {

// Keys are few (the property names of the record classes and a few more) and made once.
struct KeyRegistry {
    std::mutex mutex;
    std::unordered_map<std::string_view, const KJStoredKey*> byText;
    std::atomic<uint32_t> count{0};
};

KeyRegistry& keyRegistry() {
    static auto* registry = new KeyRegistry();  // never destroyed: keys are used during exit
    return *registry;
}

}  // namespace

const KJStoredKey& KJStoredKey::named(std::string_view text) {
    KeyRegistry& registry = keyRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.byText.find(text);
    if (it != registry.byText.end()) return *it->second;
    const uint32_t id = registry.count.load(std::memory_order_relaxed);
    const auto* key = new KJStoredKey(std::string(text), id);
    registry.byText.emplace(key->text(), key);
    registry.count.store(id + 1, std::memory_order_release);
    return *key;
}

uint32_t KJStoredKey::count() {
    return keyRegistry().count.load(std::memory_order_acquire);
}

// ---- The entries -------------------------------------------------------------------------------

std::string KJStoredForm::Entry::colourText() const {
    if (!colour.present) return "";
    const double* c = colour.components;
    return UIColorKJExt::blqHexStringFromColor(platform::Color{c[0], c[1], c[2], c[3]}).value_or("");
}

void KJStoredForm::clear() {
    used_ = 0;
    records_.clear();
    unchecked_ = false;
    nests_ = false;
}

KJStoredForm::Entry* KJStoredForm::find(const KJStoredKey& key) {
    // There is one key of each text, so the same key is the same text.
    for (size_t i = 0; i < used_; ++i)
        if (entries_[i].key == &key) return &entries_[i];
    return nullptr;
}

void KJStoredForm::grow() {
    entries_.resize(std::max<size_t>(64, entries_.size() * 2));
    capacity_ = entries_.size();
}

// ---- As a dictionary ---------------------------------------------------------------------------

namespace {

Value valueOf(const KJStoredForm& form, const KJStoredForm::Entry& entry) {
    using Kind = KJStoredForm::Kind;
    switch (entry.kind) {
        case Kind::Text:
            return Value(entry.text);
        case Kind::Colour:
            return Value(entry.colourText());
        case Kind::Integer:
            return Value(entry.integer);
        case Kind::Real:
            return Value(entry.real);
        case Kind::Boolean:
            return Value(entry.boolean);
        case Kind::Record:
            return KJStoredForm::dictionaryOf(*entry.record);
        case Kind::Records: {
            platform::Array list;
            const auto records = form.recordsOf(entry);
            list.reserve(records.size());
            for (const KJTipBaseElement* record : records) list.push_back(KJStoredForm::dictionaryOf(*record));
            return Value(std::move(list));
        }
        case Kind::Texts:
            return Value(platform::Array(entry.texts->begin(), entry.texts->end()));
    }
    return Value();
}

}  // namespace

Value KJStoredForm::dictionaryOf(const KJTipBaseElement& record) {
    KJStoredForm form;
    if (!record.storedForm(form)) return Value();
    std::vector<platform::Dictionary::Entry> entries;
    entries.reserve(form.used_);
    for (const Entry& entry : form.entries()) entries.emplace_back(entry.key->text(), valueOf(form, entry));
    // The form holds each key once.
    return Value(platform::Dictionary::withDistinctKeys(std::move(entries)));
}

void KJStoredForm::addTo(platform::Dictionary& out) const {
    std::vector<platform::Dictionary::Entry> entries;
    entries.reserve(out.size() + used_);
    const bool empty = out.empty();
    for (auto& entry : out) entries.push_back(std::move(entry));
    for (const Entry& entry : this->entries()) entries.emplace_back(entry.key->text(), valueOf(*this, entry));
    // A key the dictionary held already keeps its place and takes the form's value.
    out = empty ? platform::Dictionary::withDistinctKeys(std::move(entries)) : platform::Dictionary(std::move(entries));
}

// ---- As a property list ------------------------------------------------------------------------

namespace {

// Writes stored forms as bplist::writeOnItsOwn writes their dictionaries: a dictionary's keys
// first, then its values, each nested form as it comes. The writer gives an equal text or number
// the object it made of it first, so the object a key or a number was given is kept here by the
// key's number or the number's bits, and the writer is not asked again. Kept by each thread for
// the next record it writes.
class FormWriter {
public:
    // Starts on a writer: what was kept of another is forgotten.
    void begin(platform::bplist::Writer& writer) {
        writer_ = &writer;
        keys_.assign(std::max<size_t>(keys_.size(), KJStoredKey::count()), kNone);
        keyCount_ = keys_.size();
        for (auto& slot : numbers_) slot.ref = kNone;
        for (auto& slot : colours_) slot.ref = kNone;
        for (auto& slot : texts_) slot.ref = kNone;
        booleans_[0] = booleans_[1] = emptyText_ = kNone;
        stack_.clear();
    }
    bool write(const KJTipBaseElement& record, Ref& out) { return this->record(record, 0, out); }
    void end() { writer_ = nullptr; }

    // The records of a campaign lie apart in memory, and reading them waits on memory more than
    // anything else: a record is asked to come in before it is reached (the first bytes of one,
    // where the fields of the record classes lie).
    static void prefetchRecord(const KJTipBaseElement* record) {
        const auto* bytes = reinterpret_cast<const char*>(record);
        for (size_t at = 0; at < kPrefetchBytes; at += 64) __builtin_prefetch(bytes + at);
    }

private:
    static constexpr Ref kNone = std::numeric_limits<Ref>::max();

    bool record(const KJTipBaseElement& record, size_t depth, Ref& out) {
        if (depth == forms_.size()) forms_.push_back(std::make_unique<KJStoredForm>());
        KJStoredForm& form = *forms_[depth];
        form.clear();
        // A record without a stored form stands for an absent value, which no property list holds.
        if (!record.storedForm(form)) return false;
        const std::span<const KJStoredForm::Entry> entries = form.entries();
        const size_t n = entries.size();
        if (form.nests()) prefetchNested(form);
        // The keys, then the values, in a run of the stack of their own (nested records use the
        // stack beyond it, so it is reached by index).
        const size_t mark = stack_.size();
        stack_.resize(mark + 2 * n);
        for (size_t i = 0; i < n; ++i) stack_[mark + i] = key(entries[i]);
        for (size_t i = 0; i < n; ++i) {
            Ref ref = 0;
            if (!value(form, entries[i], depth, ref)) return false;
            stack_[mark + n + i] = ref;
        }
        const std::span<const Ref> all = std::span<const Ref>(stack_).subspan(mark, 2 * n);
        out = writer_->dictionary(all.first(n), all.subspan(n));
        stack_.resize(mark);
        return true;
    }

    // The nested records are asked to come in while this one's entries are written.
    static void prefetchNested(const KJStoredForm& form) {
        for (const KJStoredForm::Entry& entry : form.entries()) {
            if (entry.kind == KJStoredForm::Kind::Record)
                prefetchRecord(entry.record);
            else if (entry.kind == KJStoredForm::Kind::Records)
                for (const KJTipBaseElement* nested : form.recordsOf(entry)) prefetchRecord(nested);
        }
    }
    static constexpr size_t kPrefetchBytes = 1024;

    Ref key(const KJStoredForm::Entry& entry) {
        if (entry.keyId >= keyCount_) {
            keys_.resize(std::max<size_t>(entry.keyId + 1, KJStoredKey::count()), kNone);
            keyCount_ = keys_.size();
        }
        Ref& ref = keys_[entry.keyId];
        if (ref == kNone) ref = writer_->string(entry.key->text());
        return ref;
    }

    // Texts of up to kTextBytes bytes by their bytes, in a small table of the last ones met; longer
    // ones go to the writer.
    Ref text(std::string_view text) {
        if (text.empty()) {
            if (emptyText_ == kNone) emptyText_ = writer_->string(text);
            return emptyText_;
        }
        if (text.size() > kTextBytes) return writer_->string(text);
        uint64_t head = 0, tail = 0;
        std::memcpy(&head, text.data(), std::min<size_t>(8, text.size()));
        if (text.size() > 8) std::memcpy(&tail, text.data() + text.size() - 8, 8);
        const uint64_t h = ((head * 0xBF58476D1CE4E5B9ull) ^ tail ^ text.size()) * 0x94D049BB133111EBull;
        TextSlot& slot = texts_[h >> (64 - kTextBits)];
        if (slot.ref != kNone && slot.length == text.size() && std::memcmp(slot.bytes, text.data(), text.size()) == 0)
            return slot.ref;
        slot.length = static_cast<uint8_t>(text.size());
        std::memcpy(slot.bytes, text.data(), text.size());
        slot.ref = writer_->string(text);
        return slot.ref;
    }

    // A colour's text by the colour, in a small table of the last ones met.
    Ref colour(const KJStoredForm::Entry& entry) {
        const double* c = entry.colour.components;
        uint64_t h = 0;
        for (int i = 0; i < 4; ++i) {
            uint64_t bits = 0;
            std::memcpy(&bits, &c[i], sizeof bits);
            h = (h ^ bits) * 0xBF58476D1CE4E5B9ull;
        }
        ColourSlot& slot = colours_[h >> (64 - kColourBits)];
        if (slot.ref != kNone && std::memcmp(slot.components, c, sizeof slot.components) == 0) return slot.ref;
        std::memcpy(slot.components, c, sizeof slot.components);
        slot.ref = writer_->string(entry.colourText());
        return slot.ref;
    }

    // Integers and reals by their bits (and kind), in a small table of the last ones met.
    template <class Write>
    Ref number(uint64_t bits, bool isReal, Write write) {
        const uint64_t tagged = bits ^ (isReal ? 0x9E3779B97F4A7C15ull : 0);
        Slot& slot = numbers_[(tagged * 0xBF58476D1CE4E5B9ull) >> (64 - kNumberBits)];
        if (slot.ref != kNone && slot.bits == bits && slot.isReal == isReal) return slot.ref;
        slot = {bits, isReal, write()};
        return slot.ref;
    }

    bool value(const KJStoredForm& form, const KJStoredForm::Entry& entry, size_t depth, Ref& out) {
        using Kind = KJStoredForm::Kind;
        switch (entry.kind) {
            case Kind::Text:
                out = text(entry.text);
                return true;
            case Kind::Colour:
                out = entry.colour.present ? colour(entry) : text({});
                return true;
            case Kind::Integer:
                out = number(static_cast<uint64_t>(entry.integer), false,
                             [&] { return writer_->integer(entry.integer); });
                return true;
            case Kind::Real: {
                uint64_t bits = 0;
                std::memcpy(&bits, &entry.real, sizeof bits);
                out = number(bits, true, [&] { return writer_->real(entry.real); });
                return true;
            }
            case Kind::Boolean: {
                Ref& ref = booleans_[entry.boolean ? 1 : 0];
                if (ref == kNone) ref = writer_->boolean(entry.boolean);
                out = ref;
                return true;
            }
            case Kind::Record:
                return record(*entry.record, depth + 1, out);
            case Kind::Records: {
                const size_t mark = stack_.size();
                for (const KJTipBaseElement* nested : form.recordsOf(entry)) {
                    Ref ref = 0;
                    if (!record(*nested, depth + 1, ref)) return false;
                    stack_.push_back(ref);
                }
                out = writer_->array(std::span<const Ref>(stack_).subspan(mark));
                stack_.resize(mark);
                return true;
            }
            case Kind::Texts: {
                const size_t mark = stack_.size();
                for (const std::string& item : *entry.texts) stack_.push_back(text(item));
                out = writer_->array(std::span<const Ref>(stack_).subspan(mark));
                stack_.resize(mark);
                return true;
            }
        }
        return false;
    }

    static constexpr unsigned kNumberBits = 6;
    static constexpr unsigned kColourBits = 5;
    static constexpr size_t kTextBytes = 32;
    static constexpr unsigned kTextBits = 7;
    struct TextSlot {
        char bytes[kTextBytes];
        uint8_t length = 0;
        Ref ref = kNone;
    };
    TextSlot texts_[size_t(1) << kTextBits];
    struct ColourSlot {
        double components[4] = {};
        Ref ref = kNone;
    };
    ColourSlot colours_[size_t(1) << kColourBits];
    struct Slot {
        uint64_t bits = 0;
        bool isReal = false;
        Ref ref = kNone;
    };

    platform::bplist::Writer* writer_ = nullptr;
    std::vector<Ref> keys_;
    size_t keyCount_ = 0;
    Slot numbers_[size_t(1) << kNumberBits];
    Ref booleans_[2] = {kNone, kNone};
    Ref emptyText_ = kNone;
    // One form for each depth of nesting, reused by the records at that depth.
    std::vector<std::unique_ptr<KJStoredForm>> forms_;
    std::vector<Ref> stack_;
};

}  // namespace

namespace {

// The forms of the records, and the list of them with a list; null when one cannot be held.
std::shared_ptr<const platform::bplist::WrittenValue> writeForms(std::span<const KJTipBaseElement* const> records,
                                                                 bool list) {
    FormWriter formWriter;
    auto written = std::make_shared<platform::bplist::WrittenValue>();
    written->writer.setSharesContainers(true);
    formWriter.begin(written->writer);
    std::vector<Ref> elements;
    elements.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        // The next record comes in while this one is written.
        if (i + 1 < records.size()) FormWriter::prefetchRecord(records[i + 1]);
        Ref ref = 0;
        if (!formWriter.write(*records[i], ref)) return nullptr;
        elements.push_back(ref);
    }
    formWriter.end();
    written->top = list ? written->writer.array(elements) : elements.front();
    written->writer.seal();
    return written;
}

}  // namespace

std::shared_ptr<const platform::bplist::WrittenValue> KJStoredForm::writeOnItsOwn(const KJTipBaseElement& record) {
    const KJTipBaseElement* one = &record;
    return writeForms({&one, 1}, false);
}

std::shared_ptr<const platform::bplist::WrittenValue> KJStoredForm::writeListOnItsOwn(
    std::span<const KJTipBaseElement* const> records) {
    return writeForms(records, true);
}

}  // namespace brindlecue
