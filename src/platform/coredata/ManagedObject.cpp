#include "platform/coredata/ManagedObject.h"

#include <algorithm>
#include <limits>

#include "platform/SystemLog.h"
#include "platform/coredata/ManagedObjectContext.h"

namespace brindlecue::platform {

namespace {

void logError(const std::string& message) {
    SystemLog("com.brindlecue.platform", "CoreData").log(LogType::Error, message);
}

bool fits(int64_t v, AttributeType type) {
    if (type == AttributeType::Integer16)
        return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
    if (type == AttributeType::Integer32)
        return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    return true;
}

// Turns the value into the attribute's own kind in place; false (the value untouched) when it
// does not fit.
bool coerceInPlace(const AttributeDescription& a, Value& v) {
    if (v.isNil()) {
        if (!v.isAbsent()) v = Value();
        return true;
    }
    switch (a.type) {
        case AttributeType::String:
            return v.isString();
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
            if (!(v.isInteger() || v.isBool()) || !fits(v.integerValue(), a.type)) return false;
            if (!v.isInteger()) v = Value(v.integerValue());
            return true;
        case AttributeType::Double:
            if (!v.isNumber()) return false;
            if (!v.isReal()) v = Value(v.doubleValue());
            return true;
        case AttributeType::Boolean:
            if (!(v.isBool() || v.isInteger())) return false;
            if (!v.isBool()) v = Value(v.boolValue());
            return true;
        case AttributeType::Date:
            return v.isDate();
        case AttributeType::Binary:
            return v.isData();
        case AttributeType::Transformable:
            return true;
    }
    return false;
}

}  // namespace

std::shared_ptr<ManagedObject> ManagedObject::create(const std::shared_ptr<const EntityDescription>& entity) {
    if (!entity) return nullptr;
    auto object = entity->factory()();
    object->entity_ = entity;
    object->id_.entityName = entity->name();
    object->attributes_.reserve(entity->attributes().size());
    for (const auto& a : entity->attributes()) {
        if (a.defaultValue.isAbsent()) {
            object->attributes_.emplace_back();
            continue;
        }
        Value initial = a.defaultValue;
        if (!coerceInPlace(a, initial)) initial = Value();
        object->attributes_.push_back(std::move(initial));
    }
    object->toOne_.resize(entity->relationships().size());
    object->toMany_.resize(entity->relationships().size());
    object->dirty_.assign(entity->attributes().size() + entity->relationships().size(), false);
    return object;
}

std::shared_ptr<ManagedObjectContext> ManagedObject::managedObjectContext() const {
    return context_.lock();
}

const Value& ManagedObject::slotValue(const ManagedObjectKey& key) const {
    static const Value nil;
    int i = key.attributeIndex(*entity_);
    return i < 0 ? nil : attributes_[static_cast<size_t>(i)];
}

Value ManagedObject::value(const ManagedObjectKey& key) const {
    return slotValue(key);
}

std::optional<std::string> ManagedObject::stringValue(const ManagedObjectKey& key) const {
    if (const std::string* s = slotValue(key).getString()) return *s;
    return std::nullopt;
}

std::optional<int64_t> ManagedObject::integerValue(const ManagedObjectKey& key) const {
    const Value& v = slotValue(key);
    if (v.isInteger() || v.isBool()) return v.integerValue();
    return std::nullopt;
}

std::optional<double> ManagedObject::doubleValue(const ManagedObjectKey& key) const {
    return slotValue(key).getNumber();
}

std::optional<bool> ManagedObject::boolValue(const ManagedObjectKey& key) const {
    const Value& v = slotValue(key);
    if (v.isBool() || v.isInteger()) return v.boolValue();
    return std::nullopt;
}

std::optional<Date> ManagedObject::dateValue(const ManagedObjectKey& key) const {
    return slotValue(key).getDate();
}

std::optional<Data> ManagedObject::dataValue(const ManagedObjectKey& key) const {
    if (const Data* d = slotValue(key).getData()) return *d;
    return std::nullopt;
}

bool ManagedObject::setValue(const ManagedObjectKey& key, Value value) {
    int i = key.attributeIndex(*entity_);
    if (i < 0) {
        logError("No attribute \"" + std::string(key.name()) + "\" in entity " + entity_->name());
        return false;
    }
    const AttributeDescription& a = entity_->attributes()[static_cast<size_t>(i)];
    if (!coerceInPlace(a, value)) {
        logError("Unacceptable value " + value.description() + " for attribute " + entity_->name() + "." +
                 a.name);
        return false;
    }
    if (state_ == State::Removed) {
        logError("Attribute " + entity_->name() + "." + a.name + " set on an object that was deleted");
        return false;
    }
    Value& slot = attributes_[static_cast<size_t>(i)];
    bool changed = !(slot == value);
    slot = std::move(value);
    if (auto context = context_.lock()) context->didChange(*this, static_cast<size_t>(i), true, changed);
    return true;
}

std::shared_ptr<ManagedObject> ManagedObject::relatedObject(const ManagedObjectKey& key) const {
    int r = key.relationshipIndex(*entity_);
    if (r < 0 || entity_->relationships()[static_cast<size_t>(r)].toMany) return nullptr;
    const auto& target = toOne_[static_cast<size_t>(r)];
    if (!target) return nullptr;
    auto context = context_.lock();
    if (!context) return nullptr;
    return context->objectForID(
        {entity_->relationships()[static_cast<size_t>(r)].destinationEntity, *target});
}

std::optional<ManagedObjectID> ManagedObject::relatedObjectID(const ManagedObjectKey& key) const {
    int r = key.relationshipIndex(*entity_);
    if (r < 0) return std::nullopt;
    const RelationshipDescription& rel = entity_->relationships()[static_cast<size_t>(r)];
    const auto& target = toOne_[static_cast<size_t>(r)];
    if (rel.toMany || !target) return std::nullopt;
    return ManagedObjectID{rel.destinationEntity, *target};
}

bool ManagedObject::setRelatedObject(const ManagedObjectKey& key,
                                     const std::shared_ptr<ManagedObject>& object) {
    int r = key.relationshipIndex(*entity_);
    if (r < 0 || entity_->relationships()[static_cast<size_t>(r)].toMany) {
        logError("No to-one relationship \"" + std::string(key.name()) + "\" in entity " + entity_->name());
        return false;
    }
    const RelationshipDescription& rel = entity_->relationships()[static_cast<size_t>(r)];
    auto context = context_.lock();
    if (!context || state_ == State::Removed || state_ == State::Deleted) {
        logError("Relationship " + entity_->name() + "." + rel.name + " set on an object outside a context");
        return false;
    }
    if (object && (object->context_.lock() != context || object->entity_->name() != rel.destinationEntity ||
                   object->state_ == State::Deleted || object->state_ == State::Removed)) {
        logError("Illegal object for relationship " + entity_->name() + "." + rel.name +
                 " (another entity, another context or deleted)");
        return false;
    }
    return context->setToOne(*this, static_cast<size_t>(r), object);
}

std::vector<std::shared_ptr<ManagedObject>> ManagedObject::relatedObjects(const ManagedObjectKey& key) const {
    std::vector<std::shared_ptr<ManagedObject>> out;
    int r = key.relationshipIndex(*entity_);
    auto context = context_.lock();
    if (r < 0 || !context || !entity_->relationships()[static_cast<size_t>(r)].toMany) return out;
    const RelationshipDescription& rel = entity_->relationships()[static_cast<size_t>(r)];
    std::vector<int64_t> keys = context->toManyKeys(*this, static_cast<size_t>(r));
    for (int64_t k : keys) {
        auto member = context->objectForID({rel.destinationEntity, k});
        if (!member || member->state_ == State::Deleted) continue;
        // The member's own link is what this context holds true.
        int inverse = member->entity_->relationshipIndex(rel.inverseName);
        if (inverse < 0 || member->toOne_[static_cast<size_t>(inverse)] != id_.primaryKey) continue;
        out.push_back(std::move(member));
    }
    return out;
}

bool ManagedObject::addRelatedObject(const ManagedObjectKey& key,
                                     const std::shared_ptr<ManagedObject>& object) {
    const RelationshipDescription* rel = entity_->relationship(key.name());
    if (rel == nullptr || !rel->toMany || !object) {
        logError("No to-many relationship \"" + std::string(key.name()) + "\" in entity " + entity_->name() +
                 " or no object to add");
        return false;
    }
    if (object->entity_->name() != rel->destinationEntity) {
        logError("Illegal object for relationship " + entity_->name() + "." + rel->name);
        return false;
    }
    if (context_.expired() || state_ == State::Deleted || state_ == State::Removed) {
        logError("Relationship " + entity_->name() + "." + rel->name +
                 " changed on an object outside a context");
        return false;
    }
    return object->setRelatedObject(rel->inverseName, shared_from_this());
}

bool ManagedObject::removeRelatedObject(const ManagedObjectKey& key,
                                        const std::shared_ptr<ManagedObject>& object) {
    const RelationshipDescription* rel = entity_->relationship(key.name());
    if (rel == nullptr || !rel->toMany || !object || object->entity_->name() != rel->destinationEntity)
        return false;
    int inverse = object->entity_->relationshipIndex(rel->inverseName);
    if (inverse < 0 || object->toOne_[static_cast<size_t>(inverse)] != id_.primaryKey ||
        object->context_.lock() != context_.lock())
        return false;
    return object->setRelatedObject(rel->inverseName, nullptr);
}

}  // namespace brindlecue::platform
