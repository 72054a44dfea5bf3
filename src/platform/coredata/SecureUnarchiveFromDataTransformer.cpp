#include "platform/coredata/SecureUnarchiveFromDataTransformer.h"

#include <algorithm>
#include <optional>

namespace brindlecue::platform {

namespace {

constexpr const char* kArchiver = "BrindlecueKeyedArchiver";
constexpr const char* kClassKey = "$class";

Value encode(const Value& v) {
    switch (v.type()) {
        case Value::Type::Absent:
        case Value::Type::Null:
            return Value::dictionary({{kClassKey, "NSNull"}});
        case Value::Type::Array: {
            Array out;
            for (const Value& item : *v.getArray()) out.push_back(encode(item));
            return Value(std::move(out));
        }
        case Value::Type::Dictionary: {
            Array keys, objects;
            for (const auto& [key, item] : *v.getDictionary()) {
                keys.push_back(Value(key));
                objects.push_back(encode(item));
            }
            return Value::dictionary({{kClassKey, "NSDictionary"},
                                      {"NS.keys", Value(std::move(keys))},
                                      {"NS.objects", Value(std::move(objects))}});
        }
        default:
            return v;
    }
}

std::optional<Value> decode(const Value& v) {
    if (v.isArray()) {
        Array out;
        for (const Value& item : *v.getArray()) {
            auto decoded = decode(item);
            if (!decoded) return std::nullopt;
            out.push_back(std::move(*decoded));
        }
        return Value(std::move(out));
    }
    if (!v.isDictionary()) return v;
    const std::string* cls = v[kClassKey].getString();
    if (cls == nullptr) return std::nullopt;
    if (*cls == "NSNull") return Value::null();
    if (*cls != "NSDictionary") return std::nullopt;
    const Array* keys = v["NS.keys"].getArray();
    const Array* objects = v["NS.objects"].getArray();
    if (keys == nullptr || objects == nullptr || keys->size() != objects->size()) return std::nullopt;
    Dictionary out;
    for (size_t i = 0; i < keys->size(); ++i) {
        const std::string* key = (*keys)[i].getString();
        auto item = decode((*objects)[i]);
        if (key == nullptr || !item) return std::nullopt;
        out.set(*key, std::move(*item));
    }
    return Value(std::move(out));
}

}  // namespace

std::vector<Value::Type> SecureUnarchiveFromDataTransformer::allowedTopLevelClasses() const {
    return {Value::Type::Null, Value::Type::Bool,   Value::Type::Integer,
            Value::Type::Real, Value::Type::String, Value::Type::Date,
            Value::Type::Data, Value::Type::Array,  Value::Type::Dictionary};
}

Value SecureUnarchiveFromDataTransformer::transformedValue(const Value& value) const {
    if (value.isAbsent()) return Value();
    Value archive = Value::dictionary({{"$archiver", kArchiver}, {"$version", 1}, {"$top", encode(value)}});
    auto data = archive.toPropertyList(PropertyListFormat::Binary);
    return data ? Value(std::move(*data)) : Value();
}

Value SecureUnarchiveFromDataTransformer::reverseTransformedValue(const Value& value) const {
    const Data* bytes = value.getData();
    if (bytes == nullptr) return Value();
    auto archive = Value::fromPropertyList(*bytes);
    if (!archive || !archive->isDictionary() || archive->operator[]("$archiver") != Value(kArchiver))
        return Value();
    auto top = decode((*archive)["$top"]);
    if (!top) return Value();
    auto allowed = allowedTopLevelClasses();
    if (std::find(allowed.begin(), allowed.end(), top->type()) == allowed.end()) return Value();
    return *top;
}

}  // namespace brindlecue::platform
