#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue::platform {

class KeyedArchiver;
class KeyedUnarchiver;

// An object that writes itself into a keyed archive and is made again from one (the platform's
// secure coding). The archive records its platform class name with its superclasses; reading
// makes it with the factory registered under that name (KeyedUnarchiver::registerClass).
class SecureCoding {
public:
    virtual ~SecureCoding() = default;
    // The class name first, then its superclasses ("NSObject" is added).
    virtual std::vector<std::string> archivedClassNames() const = 0;
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

// The platform's keyed archiver and unarchiver for untyped objects: a binary property list with
// an object table ("$objects"), the root under "$top" and object references as UIDs. Strings,
// numbers and data stand in the table as they are; dictionaries, arrays, dates and null are keyed
// objects of the classes NSMutableDictionary, NSMutableArray, NSDate and NSNull.
//
// Objects of the library (SecureCoding) are keyed objects of their own class: each value they
// encode sits under its key, numbers and flags inline, everything else as a reference.
class KeyedArchiver {
public:
    // Absent archives as the archive of nil.
    static Data archivedData(const Value& root);
    // None for bytes that are not such an archive (or reference what they do not hold).
    static std::optional<Value> unarchiveObject(const Data& bytes);
    static Data archivedDataWithRootObject(const SecureCoding& root);

    // Inside encodeWithCoder. An absent value or a null object writes nothing.
    void encodeObject(const Value& value, const std::string& key);
    void encodeObject(const std::shared_ptr<const SecureCoding>& object, const std::string& key);
    // An array of objects.
    void encodeObjects(const std::vector<std::shared_ptr<const SecureCoding>>& objects,
                       const std::string& key);
    void encodeBool(bool value, const std::string& key);
    void encodeInt64(int64_t value, const std::string& key);
    void encodeDouble(double value, const std::string& key);

private:
    friend class ArchiveWriter;
    KeyedArchiver(void* writer, void* node) : writer_(writer), node_(node) {}
    void* writer_;
    void* node_;
};

class KeyedUnarchiver {
public:
    using Factory = std::function<std::shared_ptr<SecureCoding>(KeyedUnarchiver& coder)>;
    // Makes objects archived under the class name.
    static void registerClass(const std::string& className, Factory factory);

    // The root object; null for bytes that are no archive of a registered object.
    static std::shared_ptr<SecureCoding> unarchivedObject(const Data& bytes);
    // The root object when it is a T; null otherwise.
    template <class T>
    static std::shared_ptr<T> unarchivedObjectOfClass(const Data& bytes) {
        return std::dynamic_pointer_cast<T>(unarchivedObject(bytes));
    }

    // Inside a factory.
    bool containsValueForKey(const std::string& key) const;
    // A value other than an object of the library; absent when missing.
    Value decodeObjectForKey(const std::string& key);
    // The object under the key when it is a T; null otherwise.
    template <class T>
    std::shared_ptr<T> decodeObjectOfClass(const std::string& key) {
        return std::dynamic_pointer_cast<T>(decodeCodedObject(key));
    }
    // The objects of an array under the key that are T, in order; none when there is no array.
    template <class T>
    std::optional<std::vector<std::shared_ptr<T>>> decodeArrayOfObjectsOfClass(const std::string& key) {
        auto objects = decodeCodedObjects(key);
        if (!objects) return std::nullopt;
        std::vector<std::shared_ptr<T>> out;
        for (auto& object : *objects) {
            if (auto typed = std::dynamic_pointer_cast<T>(object)) out.push_back(std::move(typed));
        }
        return out;
    }
    // 0 (false) when missing or of another kind.
    bool decodeBoolForKey(const std::string& key);
    int64_t decodeInt64ForKey(const std::string& key);
    double decodeDoubleForKey(const std::string& key);

private:
    friend class ArchiveReader;
    KeyedUnarchiver(void* reader, void* node, int depth) : reader_(reader), node_(node), depth_(depth) {}
    std::shared_ptr<SecureCoding> decodeCodedObject(const std::string& key);
    std::optional<std::vector<std::shared_ptr<SecureCoding>>> decodeCodedObjects(const std::string& key);
    void* reader_;
    void* node_;
    int depth_;
};

}  // namespace brindlecue::platform
