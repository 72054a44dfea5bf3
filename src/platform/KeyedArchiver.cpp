#include "platform/KeyedArchiver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/BinaryPropertyList.h"

namespace brindlecue::platform {

namespace {

using bplist::Ref;
using PlistObject = bplist::Reader::Object;
using PlistKind = bplist::Reader::Kind;

constexpr const char* kDictionaryClass = "NSMutableDictionary";
constexpr const char* kArrayClass = "NSMutableArray";
constexpr const char* kDateClass = "NSDate";
constexpr const char* kNullClass = "NSNull";
// Deeper nesting than this is refused when reading, so a crafted archive cannot exhaust the stack.
constexpr int kMaxDepth = 512;

struct Registry {
    std::mutex mutex;
    std::map<std::string, KeyedUnarchiver::Factory, std::less<>> factories;
};

// Process-wide and never destroyed.
Registry& registry() {
    static auto* r = new Registry();
    return *r;
}

KeyedUnarchiver::Factory factoryFor(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(name);
    return it == r.factories.end() ? nullptr : it->second;
}

// A number read from an archive as a 64-bit integer: reals are truncated, and those out of range
// (or not a number) saturate instead of overflowing.
int64_t integerOfReal(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (d < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

// The entries of a keyed object while its class encodes them; a key encoded again replaces its
// value.
struct CodedEntries {
    std::vector<Ref> keys;
    std::vector<Ref> values;
    void set(Ref key, Ref value) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) {
                values[i] = value;
                return;
            }
        }
        keys.push_back(key);
        values.push_back(value);
    }
};

// Archiving walks a tree of values spread over the heap, set up well before (a feed's rows are all
// set up, then all archived), so it mostly waits for memory. The nodes a container's children lie
// in are asked for before the first child is written, and the element storage of a child that is
// a container too while the child before it is written, so that those waits overlap with work.
inline const void* heapOf(const Value& v) {
    switch (v.type()) {
        case Value::Type::String:
            return v.getString()->data();
        case Value::Type::Data:
            return v.getData()->data();
        case Value::Type::Array:
            return v.getArray();
        case Value::Type::Dictionary:
            return v.getDictionary();
        default:
            return nullptr;
    }
}

// Every cache line of a run of memory, a few at most.
inline void prefetchRange(const void* begin, const void* end) {
    constexpr size_t kLine = 64, kMostLines = 16;
    auto p = reinterpret_cast<uintptr_t>(begin) & ~(kLine - 1);
    const auto last = std::min(reinterpret_cast<uintptr_t>(end), p + kMostLines * kLine);
    for (; p < last; p += kLine) __builtin_prefetch(reinterpret_cast<const void*>(p));
}

inline void prefetchElements(const Value& v) {
    if (const Dictionary* d = v.getDictionary()) {
        if (!d->empty()) prefetchRange(&*d->begin(), &*(d->end() - 1) + 1);
    } else if (const Array* a = v.getArray()) {
        if (!a->empty()) prefetchRange(a->data(), a->data() + a->size());
    }
}

template <class Children, class ValueOf>
void prefetchChildren(const Children& children, ValueOf valueOf) {
    for (const auto& child : children) {
        if (const void* p = heapOf(valueOf(child))) __builtin_prefetch(p);
    }
    if (!children.empty()) prefetchElements(valueOf(*children.begin()));
}

}  // namespace

// Writes the archive straight into a binary property list: the object table ("$objects") holds
// one reference per archived object, and the property list shares equal texts, numbers and UIDs.
class ArchiveWriter {
public:
    ArchiveWriter()
        : buffers_(takeBuffers()),
          plist_(buffers_->plist),
          objects_(buffers_->objects),
          keys_(buffers_->keys),
          values_(buffers_->values),
          classes_(buffers_->classes) {
        push(plist_.string("$null"));
    }
    ~ArchiveWriter() { giveBack(std::move(buffers_)); }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    uint64_t encode(const Value& v) {
        switch (v.type()) {
            case Value::Type::Absent:
                return 0;
            case Value::Type::Null: {
                Ref cls = uid(builtinClass(kNull));
                Ref key = constant(classKey_, "$class");
                return push(plist_.dictionary({&key, 1}, {&cls, 1}));
            }
            case Value::Type::Bool:
                return push(plist_.boolean(*v.getBool()));
            case Value::Type::Integer:
                return push(plist_.integer(*v.getInteger()));
            case Value::Type::Real:
                return push(plist_.real(*v.getNumber()));
            case Value::Type::String:
                return push(plist_.string(*v.getString()));
            case Value::Type::Data: {
                const Data& d = *v.getData();
                return push(plist_.data(d.data(), d.size()));
            }
            case Value::Type::Date: {
                Ref time = plist_.real(v.getDate()->timeIntervalSinceReferenceDate());
                Ref cls = uid(builtinClass(kDate));
                const Ref keys[] = {constant(timeKey_, "NS.time"), constant(classKey_, "$class")};
                const Ref values[] = {time, cls};
                return push(plist_.dictionary(keys, values));
            }
            case Value::Type::Array: {
                uint64_t self = reserve();
                const size_t mark = values_.size();
                const Array& elements = *v.getArray();
                prefetchChildren(elements, [](const Value& e) -> const Value& { return e; });
                for (size_t i = 0; i < elements.size(); ++i) {
                    if (i + 1 < elements.size()) prefetchElements(elements[i + 1]);
                    Ref ref = uid(encode(elements[i]));
                    values_.push_back(ref);
                }
                Ref items = plist_.array(std::span<const Ref>(values_).subspan(mark));
                values_.resize(mark);
                fillContainer(self, items, builtinClass(kArray));
                return self;
            }
            case Value::Type::Dictionary: {
                uint64_t self = reserve();
                const size_t mark = values_.size(), keyMark = keys_.size();
                const Dictionary& entries = *v.getDictionary();
                prefetchChildren(entries,
                                 [](const Dictionary::Entry& e) -> const Value& { return e.second; });
                for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
                    const auto& [k, e] = *entry;
                    if (entry + 1 != entries.end()) prefetchElements(entry[1].second);
                    Ref key = uid(push(plist_.string(k)));
                    keys_.push_back(key);
                    Ref value = uid(encode(e));
                    values_.push_back(value);
                }
                Ref keys = plist_.array(std::span<const Ref>(keys_).subspan(keyMark));
                Ref values = plist_.array(std::span<const Ref>(values_).subspan(mark));
                keys_.resize(keyMark);
                values_.resize(mark);
                Ref cls = uid(builtinClass(kDictionary));
                const Ref entryKeys[] = {constant(keysKey_, "NS.keys"), constant(objectsKey_, "NS.objects"),
                                         constant(classKey_, "$class")};
                const Ref entryValues[] = {keys, values, cls};
                fill(self, plist_.dictionary(entryKeys, entryValues));
                return self;
            }
        }
        return 0;
    }

    // A keyed object of the library's own class, holding what it encodes under its keys.
    uint64_t encodeCoded(const SecureCoding& object) {
        uint64_t self = reserve();
        CodedEntries entries;
        KeyedArchiver coder(this, &entries);
        object.encodeWithCoder(coder);
        auto names = object.archivedClassNames();
        if (!names.empty()) {
            std::vector<std::string_view> chain(names.begin(), names.end());
            entries.set(constant(classKey_, "$class"), uid(classRef(names.front(), chain)));
        }
        fill(self, plist_.dictionary(entries.keys, entries.values));
        return self;
    }

    uint64_t encodeCodedArray(const std::vector<std::shared_ptr<const SecureCoding>>& objects) {
        uint64_t self = reserve();
        std::vector<Ref> refs;
        for (const auto& object : objects) {
            if (object) refs.push_back(uid(encodeCoded(*object)));
        }
        fillContainer(self, plist_.array(refs), builtinClass(kArray));
        return self;
    }

    Data finish(uint64_t root) {
        keys_.clear();
        for (const Archived& object : objects_) keys_.push_back(object.plist);
        Ref objects = plist_.array(keys_);
        Ref rootKey = plist_.string("root");
        Ref rootRef = uid(root);
        Ref top = plist_.dictionary({&rootKey, 1}, {&rootRef, 1});
        const Ref keys[] = {plist_.string("$version"), plist_.string("$archiver"), plist_.string("$top"),
                            plist_.string("$objects")};
        const Ref values[] = {plist_.integer(100000), plist_.string("NSKeyedArchiver"), top, objects};
        return plist_.finish(plist_.dictionary(keys, values));
    }

    // For the coder of a keyed object.
    void set(void* entries, const std::string& key, Ref value) {
        static_cast<CodedEntries*>(entries)->set(plist_.string(key), value);
    }
    Ref uid(uint64_t index) {
        Ref& ref = objects_[index].uid;
        if (ref == kNone) ref = plist_.uniqueUid(index);  // made once per object here
        return ref;
    }
    bplist::Writer& plist() { return plist_; }

private:
    static constexpr Ref kNone = std::numeric_limits<Ref>::max();

    uint64_t push(Ref ref) {
        objects_.push_back({ref, kNone});
        return objects_.size() - 1;
    }
    // A place for a container, taken before its elements so that it comes first in the table.
    uint64_t reserve() { return push(kNone); }
    void fill(uint64_t index, Ref ref) { objects_[index].plist = ref; }
    void fillContainer(uint64_t index, Ref items, uint64_t cls) {
        const Ref keys[] = {constant(objectsKey_, "NS.objects"), constant(classKey_, "$class")};
        const Ref values[] = {items, uid(cls)};
        fill(index, plist_.dictionary(keys, values));
    }
    Ref constant(Ref& slot, const char* text) {
        if (slot == kNone) slot = plist_.string(text);
        return slot;
    }

    enum Builtin { kNull, kDate, kArray, kDictionary };
    // The platform classes of untyped values, each written once per archive.
    uint64_t builtinClass(Builtin which) {
        uint64_t& known = builtins_[which];
        if (known == 0) {
            switch (which) {
                case kNull:
                    known = classRef(kNullClass, {kNullClass});
                    break;
                case kDate:
                    known = classRef(kDateClass, {kDateClass});
                    break;
                case kArray:
                    known = classRef(kArrayClass, {kArrayClass, "NSArray"});
                    break;
                case kDictionary:
                    known = classRef(kDictionaryClass, {kDictionaryClass, "NSDictionary"});
                    break;
            }
        }
        return known;
    }

    uint64_t classRef(std::string_view name, std::initializer_list<std::string_view> chain) {
        return classRef(name, std::span<const std::string_view>(chain.begin(), chain.size()));
    }
    uint64_t classRef(std::string_view name, std::span<const std::string_view> chain) {
        for (size_t i = 0; i < classCount_; ++i) {
            if (classes_[i].name == name) return classes_[i].ref;
        }
        // The names on the stack of elements, whose memory is kept.
        const size_t mark = values_.size();
        for (std::string_view c : chain) values_.push_back(plist_.string(c));
        values_.push_back(plist_.string("NSObject"));
        const Ref keys[] = {plist_.string("$classname"), plist_.string("$classes")};
        const Ref className = plist_.string(name);
        const Ref values[] = {className, plist_.array(std::span<const Ref>(values_).subspan(mark))};
        values_.resize(mark);
        uint64_t ref = push(plist_.dictionary(keys, values));
        // The names' memory is kept from archive to archive.
        if (classCount_ == classes_.size()) classes_.emplace_back();
        classes_[classCount_].name.assign(name);
        classes_[classCount_++].ref = ref;
        return ref;
    }

    struct Archived {
        Ref plist;  // the property-list object
        Ref uid;    // the UID object that references it, once made
    };
    struct KnownClass {
        std::string name;
        uint64_t ref = 0;
    };
    // The memory of a writer, kept per thread for the next archive (archiving a row is frequent
    // and its buffers are small).
    struct Buffers {
        bplist::Writer plist;
        std::vector<Archived> objects;
        std::vector<Ref> keys, values;  // element stacks of the containers being written
        std::vector<KnownClass> classes;  // the classes written, the first classCount_
    };
    static std::vector<std::unique_ptr<Buffers>>& pool() {
        thread_local std::vector<std::unique_ptr<Buffers>> buffers;
        return buffers;
    }
    static std::unique_ptr<Buffers> takeBuffers() {
        auto& free = pool();
        if (free.empty()) return std::make_unique<Buffers>();
        auto buffers = std::move(free.back());
        free.pop_back();
        return buffers;
    }
    static void giveBack(std::unique_ptr<Buffers> buffers) {
        // A writer that held a large archive gives its memory back instead.
        if (buffers->objects.capacity() > (1u << 16) || pool().size() >= 4) return;
        buffers->plist.clear();
        buffers->objects.clear();
        pool().push_back(std::move(buffers));
    }

    std::unique_ptr<Buffers> buffers_;
    bplist::Writer& plist_;
    std::vector<Archived>& objects_;
    std::vector<Ref>& keys_;
    std::vector<Ref>& values_;
    std::vector<KnownClass>& classes_;
    size_t classCount_ = 0;
    Ref classKey_ = kNone, objectsKey_ = kNone, keysKey_ = kNone, timeKey_ = kNone;
    uint64_t builtins_[4] = {0, 0, 0, 0};
};

// Reads an archive from its binary property list without building a tree: objects are found
// through the offset table when they are asked for.
//
// Rows on disk can be damaged or crafted, so besides the bounds checks of the property-list
// reader: nesting is limited, an object that contains itself is refused, and the objects, text
// and data a reading may produce are bounded by the size of the archive. An object referenced
// from several places is read for each (values have no identity to share), so a crafted web of
// references that would expand without end runs out of that allowance and is refused, rather
// than handing on a value too large to walk. Archives written here reference each object once.
class ArchiveReader {
public:
    ArchiveReader(const bplist::Reader& plist, const PlistObject& objects, size_t archiveSize)
        : plist_(plist),
          objects_(objects),
          inProgress_(static_cast<size_t>(objects.count), false),
          steps_(16 * static_cast<uint64_t>(archiveSize) + 4096),
          bytes_(16 * static_cast<uint64_t>(archiveSize) + (uint64_t(64) << 20)) {}

    // An object of the library at the reference; null when it is none or its class is unknown.
    std::shared_ptr<SecureCoding> decodeCoded(const PlistObject& ref, int depth) {
        PlistObject node;
        uint64_t index = 0;
        if (!nodeAt(ref, depth, node, index) || node.kind != PlistKind::Dictionary) return nullptr;
        PlistObject name;
        if (!className(node, name)) return nullptr;
        auto factory = factoryFor(plist_.text(name));
        if (!factory) return nullptr;
        const auto slot = static_cast<size_t>(index);
        if (inProgress_[slot]) return nullptr;
        inProgress_[slot] = true;
        KeyedUnarchiver coder(this, &node, depth);
        auto object = factory(coder);
        inProgress_[slot] = false;
        return object;
    }

    std::optional<std::vector<std::shared_ptr<SecureCoding>>> decodeCodedArray(const PlistObject& ref,
                                                                                 int depth) {
        PlistObject node, name, values;
        uint64_t index = 0;
        if (!nodeAt(ref, depth, node, index) || node.kind != PlistKind::Dictionary) return std::nullopt;
        if (!className(node, name) || !(plist_.textEquals(name, kArrayClass) || plist_.textEquals(name, "NSArray")))
            return std::nullopt;
        if (!plist_.find(node, "NS.objects", values) || values.kind != PlistKind::Array) return std::nullopt;
        std::vector<std::shared_ptr<SecureCoding>> out;
        for (uint64_t i = 0; i < values.count; ++i) {
            PlistObject element;
            if (!plist_.object(plist_.element(values, i), element)) continue;
            if (auto object = decodeCoded(element, depth + 1)) out.push_back(std::move(object));
        }
        return out;
    }

    // The value a reference (a UID) stands for; none when it is no reference or cannot be read.
    std::optional<Value> decode(const PlistObject& ref, int depth) {
        if (ref.kind != PlistKind::Uid) return std::nullopt;
        return decodeIndex(ref.integer, depth);
    }

    const bplist::Reader& plist() const { return plist_; }

private:

    bool spend(uint64_t steps, uint64_t bytes = 0) {
        if (steps > steps_ || bytes > bytes_) {
            steps_ = bytes_ = 0;
            return false;
        }
        steps_ -= steps;
        bytes_ -= bytes;
        return true;
    }

    bool entry(uint64_t index, PlistObject& out) const {
        return plist_.object(plist_.element(objects_, index), out);
    }

    // The archived object a reference names, other than the nil object.
    bool nodeAt(const PlistObject& ref, int depth, PlistObject& node, uint64_t& index) {
        if (ref.kind != PlistKind::Uid || depth > kMaxDepth || !spend(1)) return false;
        index = ref.integer;
        if (index == 0 || index >= objects_.count) return false;
        return entry(index, node);
    }

    // Shared containers are decoded once; an object that contains itself is refused.
    std::optional<Value> decodeIndex(uint64_t index, int depth) {
        if (index == 0) return Value();
        if (depth > kMaxDepth || index >= objects_.count || !spend(1)) return std::nullopt;
        const auto slot = static_cast<size_t>(index);
        if (inProgress_[slot]) return std::nullopt;
        PlistObject node;
        if (!entry(index, node)) return std::nullopt;
        switch (node.kind) {
            case PlistKind::Boolean:
                return Value(node.boolean);
            case PlistKind::Integer:
                return Value(static_cast<int64_t>(node.integer));
            case PlistKind::Real:
                return Value(node.real);
            case PlistKind::AsciiString:
            case PlistKind::Utf16String:
                if (!spend(0, node.count)) return std::nullopt;
                return Value(plist_.text(node));
            case PlistKind::Data: {
                if (!spend(0, node.count)) return std::nullopt;
                const uint8_t* bytes = plist_.bytes(node);
                return Value(Data(bytes, bytes + node.count));
            }
            case PlistKind::Dictionary: {
                inProgress_[slot] = true;
                auto value = decodeObject(node, depth);
                inProgress_[slot] = false;
                return value;
            }
            default:
                return std::nullopt;
        }
    }

    // A dictionary key: a reference to a text.
    bool decodeKey(const PlistObject& ref, int depth, std::string& out) {
        if (ref.kind != PlistKind::Uid || ref.integer == 0 || ref.integer >= objects_.count) return false;
        PlistObject node;
        if (depth > kMaxDepth || !entry(ref.integer, node)) return false;
        if (node.kind != PlistKind::AsciiString && node.kind != PlistKind::Utf16String) return false;
        if (!spend(1, node.count)) return false;
        out = plist_.text(node);
        return true;
    }

    // The "$classname" of a keyed object's class.
    bool className(const PlistObject& node, PlistObject& name) const {
        PlistObject ref, cls;
        if (!plist_.find(node, "$class", ref) || ref.kind != PlistKind::Uid) return false;
        if (ref.integer == 0 || ref.integer >= objects_.count || !entry(ref.integer, cls)) return false;
        if (cls.kind != PlistKind::Dictionary || !plist_.find(cls, "$classname", name)) return false;
        return name.kind == PlistKind::AsciiString || name.kind == PlistKind::Utf16String;
    }

    enum class ClassKind : uint8_t { Dictionary, Array, Date, Null, Other };

    // What the class at the index stands for, looked up once per archive.
    std::optional<ClassKind> classKind(uint64_t index) {
        for (const auto& [known, kind] : classes_) {
            if (known == index) return kind;
        }
        PlistObject cls, name;
        if (index == 0 || index >= objects_.count || !entry(index, cls) || cls.kind != PlistKind::Dictionary ||
            !plist_.find(cls, "$classname", name) ||
            (name.kind != PlistKind::AsciiString && name.kind != PlistKind::Utf16String)) {
            return std::nullopt;
        }
        ClassKind kind = ClassKind::Other;
        if (plist_.textEquals(name, kDictionaryClass) || plist_.textEquals(name, "NSDictionary"))
            kind = ClassKind::Dictionary;
        else if (plist_.textEquals(name, kArrayClass) || plist_.textEquals(name, "NSArray"))
            kind = ClassKind::Array;
        else if (plist_.textEquals(name, kDateClass))
            kind = ClassKind::Date;
        else if (plist_.textEquals(name, kNullClass))
            kind = ClassKind::Null;
        if (classes_.size() < 64) classes_.emplace_back(index, kind);
        return kind;
    }

    // A keyed object of the platform's classes, its entries read in one pass.
    std::optional<Value> decodeObject(const PlistObject& node, int depth) {
        static constexpr std::string_view kFields[] = {"$class", "NS.objects", "NS.keys", "NS.time"};
        enum { kClass, kObjects, kKeys, kTime };
        constexpr uint64_t kMissing = std::numeric_limits<uint64_t>::max();
        uint64_t refs[4] = {kMissing, kMissing, kMissing, kMissing};
        for (uint64_t i = 0; i < node.count; ++i) {
            int field = plist_.matchKey(plist_.key(node, i), kFields);
            if (field >= 0 && refs[field] == kMissing) refs[field] = plist_.value(node, i);
        }
        PlistObject cls;
        if (!plist_.object(refs[kClass], cls) || cls.kind != PlistKind::Uid) return std::nullopt;
        auto kind = classKind(cls.integer);
        if (!kind || *kind == ClassKind::Other) return std::nullopt;
        if (*kind == ClassKind::Null) return Value::null();
        if (*kind == ClassKind::Date) {
            PlistObject time;
            if (!plist_.object(refs[kTime], time) || time.kind != PlistKind::Real) return std::nullopt;
            return Value(Date::fromTimeIntervalSinceReferenceDate(time.real));
        }
        PlistObject values;
        if (!plist_.object(refs[kObjects], values) || values.kind != PlistKind::Array) return std::nullopt;
        const uint64_t n = values.count;
        if (!spend(n)) return std::nullopt;
        PlistObject ref;
        if (*kind == ClassKind::Array) {
            Array items;
            items.reserve(static_cast<size_t>(n));
            for (uint64_t i = 0; i < n; ++i) {
                if (!plist_.object(plist_.element(values, i), ref)) return std::nullopt;
                auto item = decode(ref, depth + 1);
                if (!item) return std::nullopt;
                items.push_back(std::move(*item));
            }
            return Value(std::move(items));
        }
        PlistObject keys;
        if (!plist_.object(refs[kKeys], keys) || keys.kind != PlistKind::Array || keys.count != n)
            return std::nullopt;
        std::vector<Dictionary::Entry> entries;
        entries.reserve(static_cast<size_t>(n));
        for (uint64_t i = 0; i < n; ++i) {
            std::string key;
            if (!plist_.object(plist_.element(keys, i), ref) || !decodeKey(ref, depth + 1, key))
                return std::nullopt;
            if (!plist_.object(plist_.element(values, i), ref)) return std::nullopt;
            auto item = decode(ref, depth + 1);
            if (!item) return std::nullopt;
            entries.emplace_back(std::move(key), std::move(*item));
        }
        return Value(Dictionary(std::move(entries)));
    }

    const bplist::Reader& plist_;
    PlistObject objects_;
    std::vector<bool> inProgress_;
    std::vector<std::pair<uint64_t, ClassKind>> classes_;
    uint64_t steps_;
    uint64_t bytes_;
};

Data KeyedArchiver::archivedData(const Value& root) {
    prefetchElements(root);
    ArchiveWriter writer;
    uint64_t ref = writer.encode(root);
    return writer.finish(ref);
}

Data KeyedArchiver::archivedDataWithRootObject(const SecureCoding& root) {
    ArchiveWriter writer;
    uint64_t ref = writer.encodeCoded(root);
    return writer.finish(ref);
}

void KeyedArchiver::encodeObject(const Value& value, const std::string& key) {
    if (value.isAbsent()) return;
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->uid(writer->encode(value)));
}

void KeyedArchiver::encodeObject(const std::shared_ptr<const SecureCoding>& object, const std::string& key) {
    if (!object) return;
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->uid(writer->encodeCoded(*object)));
}

void KeyedArchiver::encodeObjects(const std::vector<std::shared_ptr<const SecureCoding>>& objects,
                                  const std::string& key) {
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->uid(writer->encodeCodedArray(objects)));
}

void KeyedArchiver::encodeBool(bool value, const std::string& key) {
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->plist().boolean(value));
}

void KeyedArchiver::encodeInt64(int64_t value, const std::string& key) {
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->plist().integer(value));
}

void KeyedArchiver::encodeDouble(double value, const std::string& key) {
    auto* writer = static_cast<ArchiveWriter*>(writer_);
    writer->set(node_, key, writer->plist().real(value));
}

namespace {

// The archive's object table and root reference, or none for bytes that are no keyed archive.
struct OpenedArchive {
    bplist::Reader plist;
    PlistObject objects;
    PlistObject root;  // Invalid when "$top" has no root
};

bool openArchive(const Data& bytes, OpenedArchive& archive) {
    bplist::Reader& plist = archive.plist;
    PlistObject top, archiver, topEntries;
    if (!plist.open(bytes.data(), bytes.size()) || !plist.object(plist.top(), top) ||
        top.kind != PlistKind::Dictionary) {
        return false;
    }
    if (!plist.find(top, "$archiver", archiver) || !plist.find(top, "$objects", archive.objects) ||
        !plist.find(top, "$top", topEntries) || archive.objects.kind != PlistKind::Array ||
        topEntries.kind != PlistKind::Dictionary) {
        return false;
    }
    if (!plist.find(topEntries, "root", archive.root)) archive.root = PlistObject{};
    return true;
}

}  // namespace

std::optional<Value> KeyedArchiver::unarchiveObject(const Data& bytes) {
    OpenedArchive archive;
    if (!openArchive(bytes, archive)) return std::nullopt;
    ArchiveReader reader(archive.plist, archive.objects, bytes.size());
    return reader.decode(archive.root, 0);
}

void KeyedUnarchiver::registerClass(const std::string& className, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[className] = std::move(factory);
}

std::shared_ptr<SecureCoding> KeyedUnarchiver::unarchivedObject(const Data& bytes) {
    OpenedArchive archive;
    if (!openArchive(bytes, archive)) return nullptr;
    ArchiveReader reader(archive.plist, archive.objects, bytes.size());
    return reader.decodeCoded(archive.root, 0);
}

namespace {

bool itemFor(void* reader, void* node, const std::string& key, PlistObject& item) {
    return static_cast<ArchiveReader*>(reader)->plist().find(*static_cast<const PlistObject*>(node), key, item);
}

}  // namespace

bool KeyedUnarchiver::containsValueForKey(const std::string& key) const {
    PlistObject item;
    return itemFor(reader_, node_, key, item);
}

Value KeyedUnarchiver::decodeObjectForKey(const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item) || item.kind != PlistKind::Uid) return Value();
    return static_cast<ArchiveReader*>(reader_)->decode(item, depth_ + 1).value_or(Value());
}

std::shared_ptr<SecureCoding> KeyedUnarchiver::decodeCodedObject(const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item)) return nullptr;
    return static_cast<ArchiveReader*>(reader_)->decodeCoded(item, depth_ + 1);
}

std::optional<std::vector<std::shared_ptr<SecureCoding>>> KeyedUnarchiver::decodeCodedObjects(
    const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item)) return std::nullopt;
    return static_cast<ArchiveReader*>(reader_)->decodeCodedArray(item, depth_ + 1);
}

bool KeyedUnarchiver::decodeBoolForKey(const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item)) return false;
    if (item.kind == PlistKind::Boolean) return item.boolean;
    return decodeInt64ForKey(key) != 0;
}

int64_t KeyedUnarchiver::decodeInt64ForKey(const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item)) return 0;
    if (item.kind == PlistKind::Integer) return static_cast<int64_t>(item.integer);
    if (item.kind == PlistKind::Real) return integerOfReal(item.real);
    return 0;
}

double KeyedUnarchiver::decodeDoubleForKey(const std::string& key) {
    PlistObject item;
    if (!itemFor(reader_, node_, key, item)) return 0;
    if (item.kind == PlistKind::Real) return item.real;
    return static_cast<double>(decodeInt64ForKey(key));
}

}  // namespace brindlecue::platform
