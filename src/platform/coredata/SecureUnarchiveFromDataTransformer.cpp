#include "platform/coredata/SecureUnarchiveFromDataTransformer.h"

#include <algorithm>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/BinaryPropertyList.h"

namespace brindlecue::platform {

namespace {

constexpr const char* kArchiver = "BrindlecueKeyedArchiver";
constexpr const char* kClassKey = "$class";

// The archive's form of a value, written straight into the property list: null (and absent
// inside a container) as {"$class": "NSNull"}, a dictionary as {"$class": "NSDictionary",
// "NS.keys": [...], "NS.objects": [...]}, arrays element by element, anything else as itself.
bplist::Ref encode(bplist::Writer& writer, const Value& v, std::vector<bplist::Ref>& stack) {
    switch (v.type()) {
        case Value::Type::Absent:
        case Value::Type::Null: {
            const bplist::Ref key = writer.string(kClassKey), cls = writer.string("NSNull");
            return writer.dictionary({&key, 1}, {&cls, 1});
        }
        case Value::Type::Bool:
            return writer.boolean(*v.getBool());
        case Value::Type::Integer:
            return writer.integer(*v.getInteger());
        case Value::Type::Real:
            return writer.real(*v.getNumber());
        case Value::Type::String:
            return writer.string(*v.getString());
        case Value::Type::Date:
            return writer.date(v.getDate()->timeIntervalSinceReferenceDate());
        case Value::Type::Data: {
            const Data& data = *v.getData();
            return writer.data(data.data(), data.size());
        }
        case Value::Type::Array: {
            const size_t mark = stack.size();
            for (const Value& item : *v.getArray()) {
                bplist::Ref ref = encode(writer, item, stack);
                stack.push_back(ref);
            }
            bplist::Ref items = writer.array(std::span<const bplist::Ref>(stack).subspan(mark));
            stack.resize(mark);
            return items;
        }
        case Value::Type::Dictionary: {
            const size_t mark = stack.size();
            for (const auto& entry : *v.getDictionary()) stack.push_back(writer.string(entry.first));
            bplist::Ref keys = writer.array(std::span<const bplist::Ref>(stack).subspan(mark));
            stack.resize(mark);
            for (const auto& entry : *v.getDictionary()) {
                bplist::Ref ref = encode(writer, entry.second, stack);
                stack.push_back(ref);
            }
            bplist::Ref objects = writer.array(std::span<const bplist::Ref>(stack).subspan(mark));
            stack.resize(mark);
            const bplist::Ref names[] = {writer.string(kClassKey), writer.string("NS.keys"),
                                         writer.string("NS.objects")};
            const bplist::Ref values[] = {writer.string("NSDictionary"), keys, objects};
            return writer.dictionary(names, values);
        }
    }
    return writer.string("");
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
    // One writer per thread, its memory kept from one archive to the next: a save archives many
    // small values, one after another.
    thread_local std::pair<bplist::Writer, std::vector<bplist::Ref>> kept;
    bplist::Writer& writer = kept.first;
    std::vector<bplist::Ref>& stack = kept.second;
    writer.clear();
    stack.clear();
    const bplist::Ref top = encode(writer, value, stack);
    const bplist::Ref names[] = {writer.string("$archiver"), writer.string("$version"),
                                 writer.string("$top")};
    const bplist::Ref values[] = {writer.string(kArchiver), writer.integer(1), top};
    return Value(writer.finish(writer.dictionary(names, values)));
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
