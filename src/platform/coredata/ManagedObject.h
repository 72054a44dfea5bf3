#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"
#include "platform/Value.h"
#include "platform/coredata/EntityDescription.h"
#include "platform/coredata/ManagedObjectID.h"
#include "platform/coredata/ManagedObjectKey.h"

namespace brindlecue::platform {

class ManagedObjectContext;

// An object of an entity, living in one context (or in none, before it is inserted). Attribute
// values are Values of the attribute's kind; relationships are read and set by name and keep
// their inverse in step: setting a session's "install" adds the session to the install's
// "sessions", and adding it there sets its "install".
//
// Confined to its context's queue, like the context itself. Subclasses (entity classes) derive
// from it and are named to the entity with EntityDescription::setObjectClass.
class ManagedObject : public std::enable_shared_from_this<ManagedObject> {
public:
    virtual ~ManagedObject() = default;
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    // A new object of the entity that belongs to no context yet (see ManagedObjectContext::insertObject),
    // its attributes at their default values.
    static std::shared_ptr<ManagedObject> create(const std::shared_ptr<const EntityDescription>& entity);

    const std::shared_ptr<const EntityDescription>& entity() const { return entity_; }
    // Assigned on insertion; a primary key of 0 before that.
    const ManagedObjectID& objectID() const { return id_; }
    // Null before insertion and once the object has been deleted from the store.
    std::shared_ptr<ManagedObjectContext> managedObjectContext() const;

    bool isInserted() const { return state_ == State::Inserted; }
    bool isUpdated() const { return state_ == State::Updated; }
    bool isDeleted() const { return state_ == State::Deleted; }
    bool hasChanges() const { return isInserted() || isUpdated() || isDeleted(); }

    // Runs once, when the object is first inserted into a context. Overrides call the base first.
    virtual void awakeFromInsert() {}

    // Attribute values; absent for nil and for keys that are not attributes.
    Value value(const ManagedObjectKey& key) const;
    // The attribute's value as the object holds it, without a copy (the platform's primitive
    // value); absent for nil and for keys that are not attributes.
    const Value& primitiveValue(const ManagedObjectKey& key) const { return slotValue(key); }
    std::optional<std::string> stringValue(const ManagedObjectKey& key) const;
    std::optional<int64_t> integerValue(const ManagedObjectKey& key) const;
    std::optional<double> doubleValue(const ManagedObjectKey& key) const;
    std::optional<bool> boolValue(const ManagedObjectKey& key) const;
    std::optional<Date> dateValue(const ManagedObjectKey& key) const;
    std::optional<Data> dataValue(const ManagedObjectKey& key) const;

    // Sets an attribute (absent or null: nil). A value of the wrong kind (text for an integer, an
    // integer beyond a 16- or 32-bit attribute's range) or an unknown key is refused with a log
    // line: false, nothing changed. Integers are accepted for Boolean and double attributes.
    bool setValue(const ManagedObjectKey& key, Value value);
    template <class T>
    bool setValue(const ManagedObjectKey& key, const std::optional<T>& value) {
        return setValue(key, value ? Value(*value) : Value());
    }

    // To-one relationships.
    std::shared_ptr<ManagedObject> relatedObject(const ManagedObjectKey& key) const;
    template <class T>
    std::shared_ptr<T> relatedObject(const ManagedObjectKey& key) const {
        return std::dynamic_pointer_cast<T>(relatedObject(key));
    }
    // The id of a to-one relationship's object, without reading the object; none for nil and for
    // keys that are not to-one relationships.
    std::optional<ManagedObjectID> relatedObjectID(const ManagedObjectKey& key) const;
    // Null clears. The object must be of the destination entity and live in the same context.
    bool setRelatedObject(const ManagedObjectKey& key, const std::shared_ptr<ManagedObject>& object);

    // To-many relationships (a set; the order is unspecified).
    std::vector<std::shared_ptr<ManagedObject>> relatedObjects(const ManagedObjectKey& key) const;
    bool addRelatedObject(const ManagedObjectKey& key, const std::shared_ptr<ManagedObject>& object);
    bool removeRelatedObject(const ManagedObjectKey& key, const std::shared_ptr<ManagedObject>& object);

protected:
    ManagedObject() = default;

private:
    friend class ManagedObjectContext;
    // New: in no context yet. Removed: deleted from the store (or deleted before it was ever
    // saved), no longer in a context.
    enum class State { New, Registered, Inserted, Updated, Deleted, Removed };

    // The attribute's slot, or a nil value for a key that is not an attribute.
    const Value& slotValue(const ManagedObjectKey& key) const;
    size_t relationshipSlot(size_t relationshipIndex) const {
        return entity_->attributes().size() + relationshipIndex;
    }

    std::shared_ptr<const EntityDescription> entity_;
    ManagedObjectID id_;
    std::weak_ptr<ManagedObjectContext> context_;
    State state_ = State::New;
    bool awoken_ = false;
    int64_t version_ = 0;
    std::vector<Value> attributes_;
    // Primary keys of the to-one relationships' objects, by relationship index.
    std::vector<std::optional<int64_t>> toOne_;
    // Primary keys of the to-many relationships' objects, by relationship index; none until read.
    mutable std::vector<std::optional<std::vector<int64_t>>> toMany_;
    // Changed since the last save, by attribute index then relationship index.
    std::vector<bool> dirty_;
    // Some stored column (attribute or to-one) changed; relationship-only changes need no write.
    bool columnsDirty_ = false;
};

}  // namespace brindlecue::platform
