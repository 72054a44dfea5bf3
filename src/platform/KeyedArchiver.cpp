#include "platform/KeyedArchiver.h"

#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <plist/plist.h>

namespace brindlecue::platform {

namespace {

struct PlistDeleter {
    void operator()(void* p) const {
        if (p != nullptr) plist_free(p);
    }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

constexpr const char* kDictionaryClass = "NSMutableDictionary";
constexpr const char* kArrayClass = "NSMutableArray";
constexpr const char* kDateClass = "NSDate";
constexpr const char* kNullClass = "NSNull";
// Deeper nesting than this is refused when reading, so a crafted archive cannot exhaust the stack.
constexpr int kMaxDepth = 512;

struct Registry {
    std::mutex mutex;
    std::map<std::string, KeyedUnarchiver::Factory> factories;
};

// Process-wide and never destroyed.
Registry& registry() {
    static auto* r = new Registry();
    return *r;
}

KeyedUnarchiver::Factory factoryFor(const std::string& name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(name);
    return it == r.factories.end() ? nullptr : it->second;
}

}  // namespace

class ArchiveWriter {
public:
    ArchiveWriter() : objects_(plist_new_array()) {
        plist_array_append_item(objects_.get(), plist_new_string("$null"));
    }

    uint64_t encode(const Value& v) {
        switch (v.type()) {
            case Value::Type::Absent:
                return 0;
            case Value::Type::Null: {
                plist_t node = plist_new_dict();
                plist_dict_set_item(node, "$class", plist_new_uid(classRef(kNullClass, {kNullClass})));
                return push(node);
            }
            case Value::Type::Bool:
                return push(plist_new_bool(*v.getBool() ? 1 : 0));
            case Value::Type::Integer:
                return push(plist_new_uint(static_cast<uint64_t>(*v.getInteger())));
            case Value::Type::Real:
                return push(plist_new_real(*v.getNumber()));
            case Value::Type::String:
                return push(plist_new_string(v.getString()->c_str()));
            case Value::Type::Data: {
                const Data& d = *v.getData();
                return push(plist_new_data(reinterpret_cast<const char*>(d.data()), d.size()));
            }
            case Value::Type::Date: {
                plist_t node = plist_new_dict();
                plist_dict_set_item(node, "NS.time",
                                    plist_new_real(v.getDate()->timeIntervalSinceReferenceDate()));
                plist_dict_set_item(node, "$class", plist_new_uid(classRef(kDateClass, {kDateClass})));
                return push(node);
            }
            case Value::Type::Array: {
                uint64_t self = reserve();
                plist_t refs = plist_new_array();
                for (const Value& e : *v.getArray()) plist_array_append_item(refs, plist_new_uid(encode(e)));
                plist_t node = plist_new_dict();
                plist_dict_set_item(node, "NS.objects", refs);
                plist_dict_set_item(node, "$class",
                                    plist_new_uid(classRef(kArrayClass, {kArrayClass, "NSArray"})));
                fill(self, node);
                return self;
            }
            case Value::Type::Dictionary: {
                uint64_t self = reserve();
                plist_t keys = plist_new_array();
                plist_t values = plist_new_array();
                for (const auto& [k, e] : *v.getDictionary()) {
                    plist_array_append_item(keys, plist_new_uid(push(plist_new_string(k.c_str()))));
                    plist_array_append_item(values, plist_new_uid(encode(e)));
                }
                plist_t node = plist_new_dict();
                plist_dict_set_item(node, "NS.keys", keys);
                plist_dict_set_item(node, "NS.objects", values);
                plist_dict_set_item(
                    node, "$class",
                    plist_new_uid(classRef(kDictionaryClass, {kDictionaryClass, "NSDictionary"})));
                fill(self, node);
                return self;
            }
        }
        return 0;
    }

    // A keyed object of the library's own class, holding what it encodes under its keys.
    uint64_t encodeCoded(const SecureCoding& object) {
        uint64_t self = reserve();
        plist_t node = plist_new_dict();
        KeyedArchiver coder(this, node);
        object.encodeWithCoder(coder);
        auto names = object.archivedClassNames();
        if (!names.empty())
            plist_dict_set_item(node, "$class", plist_new_uid(classRef(names.front(), names)));
        fill(self, node);
        return self;
    }

    uint64_t encodeCodedArray(const std::vector<std::shared_ptr<const SecureCoding>>& objects) {
        uint64_t self = reserve();
        plist_t refs = plist_new_array();
        for (const auto& object : objects) {
            if (object) plist_array_append_item(refs, plist_new_uid(encodeCoded(*object)));
        }
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "NS.objects", refs);
        plist_dict_set_item(node, "$class", plist_new_uid(classRef(kArrayClass, {kArrayClass, "NSArray"})));
        fill(self, node);
        return self;
    }

    Data finish(uint64_t root) {
        PlistPtr archive(plist_new_dict());
        plist_dict_set_item(archive.get(), "$version", plist_new_uint(100000));
        plist_dict_set_item(archive.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
        plist_t top = plist_new_dict();
        plist_dict_set_item(top, "root", plist_new_uid(root));
        plist_dict_set_item(archive.get(), "$top", top);
        plist_dict_set_item(archive.get(), "$objects", objects_.release());
        char* buffer = nullptr;
        uint32_t length = 0;
        plist_to_bin(archive.get(), &buffer, &length);
        if (buffer == nullptr) return {};
        Data out(reinterpret_cast<uint8_t*>(buffer), reinterpret_cast<uint8_t*>(buffer) + length);
        plist_to_bin_free(buffer);
        return out;
    }

private:
    uint64_t push(plist_t node) {
        plist_array_append_item(objects_.get(), node);
        return plist_array_get_size(objects_.get()) - 1;
    }
    uint64_t reserve() { return push(plist_new_string("$null")); }
    void fill(uint64_t index, plist_t node) {
        plist_array_set_item(objects_.get(), node, static_cast<uint32_t>(index));
    }

    uint64_t classRef(const std::string& name, const std::vector<std::string>& chain) {
        auto it = classes_.find(name);
        if (it != classes_.end()) return it->second;
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "$classname", plist_new_string(name.c_str()));
        plist_t names = plist_new_array();
        for (const auto& c : chain) plist_array_append_item(names, plist_new_string(c.c_str()));
        plist_array_append_item(names, plist_new_string("NSObject"));
        plist_dict_set_item(node, "$classes", names);
        uint64_t ref = push(node);
        classes_[name] = ref;
        return ref;
    }

    PlistPtr objects_;
    std::map<std::string, uint64_t> classes_;
};

class ArchiveReader {
public:
    explicit ArchiveReader(plist_t objects) : objects_(objects) {}

    // An object of the library at the reference; null when it is none or its class is unknown.
    std::shared_ptr<SecureCoding> decodeCoded(plist_t ref, int depth) {
        plist_t node = nodeAt(ref, depth);
        if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) return nullptr;
        auto cls = className(node);
        if (!cls) return nullptr;
        auto factory = factoryFor(*cls);
        if (!factory) return nullptr;
        uint64_t index = 0;
        plist_get_uid_val(ref, &index);
        if (!inProgress_.insert(index).second) return nullptr;
        KeyedUnarchiver coder(this, node, depth);
        auto object = factory(coder);
        inProgress_.erase(index);
        return object;
    }

    std::optional<std::vector<std::shared_ptr<SecureCoding>>> decodeCodedArray(plist_t ref, int depth) {
        plist_t node = nodeAt(ref, depth);
        if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) return std::nullopt;
        auto cls = className(node);
        if (!cls || (*cls != kArrayClass && *cls != "NSArray")) return std::nullopt;
        plist_t values = plist_dict_get_item(node, "NS.objects");
        if (values == nullptr || plist_get_node_type(values) != PLIST_ARRAY) return std::nullopt;
        std::vector<std::shared_ptr<SecureCoding>> out;
        for (uint32_t i = 0; i < plist_array_get_size(values); ++i) {
            if (auto object = decodeCoded(plist_array_get_item(values, i), depth + 1))
                out.push_back(std::move(object));
        }
        return out;
    }

    std::optional<Value> decode(plist_t ref, int depth) {
        if (ref == nullptr || plist_get_node_type(ref) != PLIST_UID) return std::nullopt;
        uint64_t index = 0;
        plist_get_uid_val(ref, &index);
        return decodeIndex(index, depth);
    }

private:
    plist_t nodeAt(plist_t ref, int depth) {
        if (ref == nullptr || plist_get_node_type(ref) != PLIST_UID || depth > kMaxDepth) return nullptr;
        uint64_t index = 0;
        plist_get_uid_val(ref, &index);
        if (index == 0 || index >= plist_array_get_size(objects_)) return nullptr;
        return plist_array_get_item(objects_, static_cast<uint32_t>(index));
    }

    // Shared objects are decoded once; an object that contains itself is refused.
    std::optional<Value> decodeIndex(uint64_t index, int depth) {
        if (index == 0) return Value();
        if (depth > kMaxDepth || index >= plist_array_get_size(objects_)) return std::nullopt;
        if (auto it = decoded_.find(index); it != decoded_.end()) return it->second;
        if (!inProgress_.insert(index).second) return std::nullopt;
        auto value = decodeNode(index, depth);
        inProgress_.erase(index);
        if (value) decoded_.emplace(index, *value);
        return value;
    }

    std::optional<Value> decodeNode(uint64_t index, int depth) {
        plist_t node = plist_array_get_item(objects_, static_cast<uint32_t>(index));
        switch (plist_get_node_type(node)) {
            case PLIST_BOOLEAN: {
                uint8_t b = 0;
                plist_get_bool_val(node, &b);
                return Value(b != 0);
            }
            case PLIST_UINT: {
                uint64_t u = 0;
                plist_get_uint_val(node, &u);
                return Value(static_cast<int64_t>(u));
            }
            case PLIST_REAL: {
                double d = 0;
                plist_get_real_val(node, &d);
                return Value(d);
            }
            case PLIST_STRING: {
                uint64_t length = 0;
                const char* s = plist_get_string_ptr(node, &length);
                return Value(std::string(s != nullptr ? s : "", s != nullptr ? length : 0));
            }
            case PLIST_DATA: {
                uint64_t length = 0;
                const char* bytes = plist_get_data_ptr(node, &length);
                if (bytes == nullptr) return Value(Data{});
                return Value(Data(reinterpret_cast<const uint8_t*>(bytes),
                                  reinterpret_cast<const uint8_t*>(bytes) + length));
            }
            case PLIST_DICT:
                return decodeObject(node, depth);
            default:
                return std::nullopt;
        }
    }

    std::optional<std::string> className(plist_t node) {
        plist_t ref = plist_dict_get_item(node, "$class");
        if (ref == nullptr || plist_get_node_type(ref) != PLIST_UID) return std::nullopt;
        uint64_t index = 0;
        plist_get_uid_val(ref, &index);
        if (index == 0 || index >= plist_array_get_size(objects_)) return std::nullopt;
        plist_t cls = plist_array_get_item(objects_, static_cast<uint32_t>(index));
        if (plist_get_node_type(cls) != PLIST_DICT) return std::nullopt;
        plist_t name = plist_dict_get_item(cls, "$classname");
        if (name == nullptr || plist_get_node_type(name) != PLIST_STRING) return std::nullopt;
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(name, &length);
        return std::string(s != nullptr ? s : "", s != nullptr ? length : 0);
    }

    std::optional<Value> decodeObject(plist_t node, int depth) {
        auto cls = className(node);
        if (!cls) return std::nullopt;
        if (*cls == kNullClass) return Value::null();
        if (*cls == kDateClass) {
            plist_t time = plist_dict_get_item(node, "NS.time");
            if (time == nullptr || plist_get_node_type(time) != PLIST_REAL) return std::nullopt;
            double t = 0;
            plist_get_real_val(time, &t);
            return Value(Date::fromTimeIntervalSinceReferenceDate(t));
        }
        bool isDictionary = *cls == kDictionaryClass || *cls == "NSDictionary";
        bool isArray = *cls == kArrayClass || *cls == "NSArray";
        if (!isDictionary && !isArray) return std::nullopt;
        plist_t values = plist_dict_get_item(node, "NS.objects");
        if (values == nullptr || plist_get_node_type(values) != PLIST_ARRAY) return std::nullopt;
        uint32_t n = plist_array_get_size(values);
        if (isArray) {
            Array items;
            for (uint32_t i = 0; i < n; ++i) {
                auto item = decode(plist_array_get_item(values, i), depth + 1);
                if (!item) return std::nullopt;
                items.push_back(std::move(*item));
            }
            return Value(std::move(items));
        }
        plist_t keys = plist_dict_get_item(node, "NS.keys");
        if (keys == nullptr || plist_get_node_type(keys) != PLIST_ARRAY || plist_array_get_size(keys) != n) {
            return std::nullopt;
        }
        Dictionary dict;
        for (uint32_t i = 0; i < n; ++i) {
            auto key = decode(plist_array_get_item(keys, i), depth + 1);
            auto item = decode(plist_array_get_item(values, i), depth + 1);
            if (!key || !key->isString() || !item) return std::nullopt;
            dict.set(*key->getString(), std::move(*item));
        }
        return Value(std::move(dict));
    }

    plist_t objects_;
    std::map<uint64_t, Value> decoded_;
    std::set<uint64_t> inProgress_;
};

Data KeyedArchiver::archivedData(const Value& root) {
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
    uint64_t ref = static_cast<ArchiveWriter*>(writer_)->encode(value);
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(), plist_new_uid(ref));
}

void KeyedArchiver::encodeObject(const std::shared_ptr<const SecureCoding>& object, const std::string& key) {
    if (!object) return;
    uint64_t ref = static_cast<ArchiveWriter*>(writer_)->encodeCoded(*object);
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(), plist_new_uid(ref));
}

void KeyedArchiver::encodeObjects(const std::vector<std::shared_ptr<const SecureCoding>>& objects,
                                  const std::string& key) {
    uint64_t ref = static_cast<ArchiveWriter*>(writer_)->encodeCodedArray(objects);
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(), plist_new_uid(ref));
}

void KeyedArchiver::encodeBool(bool value, const std::string& key) {
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(), plist_new_bool(value ? 1 : 0));
}

void KeyedArchiver::encodeInt64(int64_t value, const std::string& key) {
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(),
                        plist_new_uint(static_cast<uint64_t>(value)));
}

void KeyedArchiver::encodeDouble(double value, const std::string& key) {
    plist_dict_set_item(static_cast<plist_t>(node_), key.c_str(), plist_new_real(value));
}

namespace {

// The archive's object table and root reference, or none for bytes that are no keyed archive.
struct OpenedArchive {
    PlistPtr owner;
    plist_t objects = nullptr;
    plist_t root = nullptr;
};

std::optional<OpenedArchive> openArchive(const Data& bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                      &root);
    OpenedArchive archive;
    archive.owner.reset(root);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
    plist_t archiver = plist_dict_get_item(root, "$archiver");
    plist_t objects = plist_dict_get_item(root, "$objects");
    plist_t top = plist_dict_get_item(root, "$top");
    if (archiver == nullptr || objects == nullptr || top == nullptr ||
        plist_get_node_type(objects) != PLIST_ARRAY || plist_get_node_type(top) != PLIST_DICT) {
        return std::nullopt;
    }
    archive.objects = objects;
    archive.root = plist_dict_get_item(top, "root");
    return archive;
}

}  // namespace

std::optional<Value> KeyedArchiver::unarchiveObject(const Data& bytes) {
    auto archive = openArchive(bytes);
    if (!archive) return std::nullopt;
    ArchiveReader reader(archive->objects);
    return reader.decode(archive->root, 0);
}

void KeyedUnarchiver::registerClass(const std::string& className, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[className] = std::move(factory);
}

std::shared_ptr<SecureCoding> KeyedUnarchiver::unarchivedObject(const Data& bytes) {
    auto archive = openArchive(bytes);
    if (!archive) return nullptr;
    ArchiveReader reader(archive->objects);
    return reader.decodeCoded(archive->root, 0);
}

bool KeyedUnarchiver::containsValueForKey(const std::string& key) const {
    return plist_dict_get_item(static_cast<plist_t>(node_), key.c_str()) != nullptr;
}

Value KeyedUnarchiver::decodeObjectForKey(const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr || plist_get_node_type(item) != PLIST_UID) return Value();
    return static_cast<ArchiveReader*>(reader_)->decode(item, depth_ + 1).value_or(Value());
}

std::shared_ptr<SecureCoding> KeyedUnarchiver::decodeCodedObject(const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr) return nullptr;
    return static_cast<ArchiveReader*>(reader_)->decodeCoded(item, depth_ + 1);
}

std::optional<std::vector<std::shared_ptr<SecureCoding>>> KeyedUnarchiver::decodeCodedObjects(
    const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr) return std::nullopt;
    return static_cast<ArchiveReader*>(reader_)->decodeCodedArray(item, depth_ + 1);
}

bool KeyedUnarchiver::decodeBoolForKey(const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr) return false;
    if (plist_get_node_type(item) == PLIST_BOOLEAN) {
        uint8_t b = 0;
        plist_get_bool_val(item, &b);
        return b != 0;
    }
    return decodeInt64ForKey(key) != 0;
}

int64_t KeyedUnarchiver::decodeInt64ForKey(const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr) return 0;
    switch (plist_get_node_type(item)) {
        case PLIST_UINT: {
            uint64_t u = 0;
            plist_get_uint_val(item, &u);
            return static_cast<int64_t>(u);
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(item, &d);
            return static_cast<int64_t>(d);
        }
        default:
            return 0;
    }
}

double KeyedUnarchiver::decodeDoubleForKey(const std::string& key) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (item == nullptr) return 0;
    if (plist_get_node_type(item) == PLIST_REAL) {
        double d = 0;
        plist_get_real_val(item, &d);
        return d;
    }
    return static_cast<double>(decodeInt64ForKey(key));
}

}  // namespace brindlecue::platform
