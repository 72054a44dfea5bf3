#include "platform/KeyedArchiver.h"

#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
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

class Writer {
public:
    Writer() : objects_(plist_new_array()) {
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

    uint64_t classRef(const char* name, std::initializer_list<const char*> chain) {
        auto it = classes_.find(name);
        if (it != classes_.end()) return it->second;
        plist_t node = plist_new_dict();
        plist_dict_set_item(node, "$classname", plist_new_string(name));
        plist_t names = plist_new_array();
        for (const char* c : chain) plist_array_append_item(names, plist_new_string(c));
        plist_array_append_item(names, plist_new_string("NSObject"));
        plist_dict_set_item(node, "$classes", names);
        uint64_t ref = push(node);
        classes_[name] = ref;
        return ref;
    }

    PlistPtr objects_;
    std::map<std::string, uint64_t> classes_;
};

class Reader {
public:
    explicit Reader(plist_t objects) : objects_(objects) {}

    std::optional<Value> decode(plist_t ref, int depth) {
        if (ref == nullptr || plist_get_node_type(ref) != PLIST_UID) return std::nullopt;
        uint64_t index = 0;
        plist_get_uid_val(ref, &index);
        return decodeIndex(index, depth);
    }

private:
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

}  // namespace

Data KeyedArchiver::archivedData(const Value& root) {
    Writer writer;
    uint64_t ref = writer.encode(root);
    return writer.finish(ref);
}

std::optional<Value> KeyedArchiver::unarchiveObject(const Data& bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                      &root);
    PlistPtr owner(root);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
    plist_t archiver = plist_dict_get_item(root, "$archiver");
    plist_t objects = plist_dict_get_item(root, "$objects");
    plist_t top = plist_dict_get_item(root, "$top");
    if (archiver == nullptr || objects == nullptr || top == nullptr ||
        plist_get_node_type(objects) != PLIST_ARRAY || plist_get_node_type(top) != PLIST_DICT) {
        return std::nullopt;
    }
    Reader reader(objects);
    return reader.decode(plist_dict_get_item(top, "root"), 0);
}

}  // namespace brindlecue::platform
