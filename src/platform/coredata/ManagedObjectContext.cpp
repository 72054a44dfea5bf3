#include "platform/coredata/ManagedObjectContext.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/NotificationCenter.h"
#include "platform/SystemLog.h"
#include "platform/coredata/CoreDataError.h"
#include "platform/coredata/PersistentStoreCoordinator.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

namespace {

constexpr const char* kStoreKey = "NSStoreUUID";

void logError(const std::string& message) {
    SystemLog("com.brindlecue.platform", "CoreData").log(LogType::Error, message);
}

// Orders values as the store does: nil first, then by value.
int compareValues(const Value& a, const Value& b) {
    if (a.isNil() || b.isNil()) return a.isNil() == b.isNil() ? 0 : (a.isNil() ? -1 : 1);
    if (a.isString() && b.isString())
        return a.getString()->compare(*b.getString()) < 0 ? -1 : (*a.getString() == *b.getString() ? 0 : 1);
    if (a.isDate() && b.isDate())
        return *a.getDate() < *b.getDate() ? -1 : (*a.getDate() == *b.getDate() ? 0 : 1);
    if (a.isData() && b.isData()) {
        const Data& x = *a.getData();
        const Data& y = *b.getData();
        int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
        if (c != 0) return c < 0 ? -1 : 1;
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
    if ((a.isInteger() || a.isBool()) && (b.isInteger() || b.isBool()))
        return a.integerValue() < b.integerValue() ? -1 : (a.integerValue() == b.integerValue() ? 0 : 1);
    double x = a.doubleValue(), y = b.doubleValue();
    return x < y ? -1 : (x == y ? 0 : 1);
}

}  // namespace

std::shared_ptr<ManagedObjectContext> ManagedObjectContext::create(
    ConcurrencyType type, std::shared_ptr<PersistentStoreCoordinator> coordinator) {
    return std::shared_ptr<ManagedObjectContext>(new ManagedObjectContext(type, std::move(coordinator)));
}

ManagedObjectContext::ManagedObjectContext(ConcurrencyType type,
                                           std::shared_ptr<PersistentStoreCoordinator> coordinator)
    : type_(type),
      coordinator_(std::move(coordinator)),
      queue_(type == ConcurrencyType::MainQueue ? DispatchQueue::main()
                                                : DispatchQueue::serial("com.brindlecue.coredata.context")) {}

ManagedObjectContext::~ManagedObjectContext() {
    if (observer_) NotificationCenter::defaultCenter().removeObserver(observer_);
}

void ManagedObjectContext::perform(std::function<void()> block) {
    performNumbered(std::move(block));
}

uint64_t ManagedObjectContext::performNumbered(std::function<void()> block) {
    std::lock_guard lock(sequenceMutex_);
    queue_->async([self = shared_from_this(), block = std::move(block)] { self->runScoped(block); });
    return ++sequence_;
}

bool ManagedObjectContext::isLastQueued(uint64_t number) const {
    if (type_ != ConcurrencyType::PrivateQueue) return false;
    std::lock_guard lock(sequenceMutex_);
    return sequence_ == number;
}

void ManagedObjectContext::syncOnQueue(const std::function<void()>& block) {
    {
        // A block that waits its turn ends the turn of whatever was queued before it.
        std::lock_guard lock(sequenceMutex_);
        ++sequence_;
    }
    queue_->sync([&] { runScoped(block); });
}

void ManagedObjectContext::runScoped(const std::function<void()>& block) {
    // The block's reads share one read transaction of the store.
    struct Scope {
        PersistentStoreCoordinator* coordinator;
        explicit Scope(PersistentStoreCoordinator* c) : coordinator(c) {
            if (coordinator) coordinator->beginReadScope();
        }
        ~Scope() {
            if (coordinator) coordinator->endReadScope();
        }
    } scope(coordinator_.get());
    block();
}

// MARK: - Registry

std::shared_ptr<ManagedObject> ManagedObjectContext::registered(const ManagedObjectID& id) const {
    auto it = registry_.find(id);
    return it == registry_.end() ? nullptr : it->second.lock();
}

void ManagedObjectContext::registerObject(const std::shared_ptr<ManagedObject>& object) {
    registry_.insert_or_assign(object->id_, object);
    if (registry_.size() >= pruneAt_) {
        std::erase_if(registry_, [](const auto& entry) { return entry.second.expired(); });
        pruneAt_ = std::max<size_t>(1024, registry_.size() * 2);
    }
}

void ManagedObjectContext::fill(ManagedObject& object, const StoredRow& row, bool keepDirty) {
    for (size_t i = 0; i < object.attributes_.size() && i < row.attributes.size(); ++i)
        if (!(keepDirty && object.dirty_[i])) object.attributes_[i] = row.attributes[i];
    for (size_t r = 0; r < object.toOne_.size() && r < row.toOne.size(); ++r)
        if (!(keepDirty && object.dirty_[object.relationshipSlot(r)])) object.toOne_[r] = row.toOne[r];
    object.version_ = row.version;
}

std::shared_ptr<ManagedObject> ManagedObjectContext::materialize(const StoredRow& row) {
    if (auto existing = registered(row.id); existing && existing->state_ != ManagedObject::State::Removed)
        return existing;
    auto object = ManagedObject::create(coordinator_->managedObjectModel()->entity(row.id.entityName));
    if (!object) return nullptr;
    object->id_ = row.id;
    fill(*object, row, false);
    object->state_ = ManagedObject::State::Registered;
    object->awoken_ = true;
    object->context_ = weak_from_this();
    registerObject(object);
    return object;
}

std::shared_ptr<ManagedObject> ManagedObjectContext::objectForID(const ManagedObjectID& id) {
    if (auto existing = registered(id); existing && existing->state_ != ManagedObject::State::Removed)
        return existing;
    std::optional<StoredRow> row;
    Error error;
    if (!coordinator_->readRow(id, row, &error)) {
        logError("Cannot read object " + id.entityName + " p" + std::to_string(id.primaryKey) + ": " +
                 error.localizedDescription());
        return nullptr;
    }
    return row ? materialize(*row) : nullptr;
}

std::shared_ptr<ManagedObject> ManagedObjectContext::existingObject(const ManagedObjectID& id, Error* error) {
    auto object = objectForID(id);
    if (!object && error)
        *error =
            makeCoreDataError(CoreDataError::CoreData, "No object " + id.entityName + " p" +
                                                           std::to_string(id.primaryKey) + " in the store");
    return object;
}

void ManagedObjectContext::erase(std::vector<std::shared_ptr<ManagedObject>>& list,
                                 const ManagedObject& object) {
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& o) { return o.get() == &object; });
    if (it != list.end()) list.erase(it);
}

void ManagedObjectContext::remove(ManagedObject& object) {
    erase(inserted_, object);
    erase(updated_, object);
    erase(deleted_, object);
    auto it = registry_.find(object.id_);
    if (it != registry_.end() && it->second.lock().get() == &object) registry_.erase(it);
    object.state_ = ManagedObject::State::Removed;
    object.context_.reset();
}

// MARK: - Changes

void ManagedObjectContext::didChange(ManagedObject& object, size_t slot, bool column, bool valueChanged) {
    object.dirty_[slot] = true;
    // A new object's values are not counted: its entity's count of insertions stands for them.
    if (valueChanged && column && object.state_ != ManagedObject::State::Inserted) {
        auto& counts = pending_[object.entity_.get()].changedSlots;
        if (counts.size() < object.dirty_.size()) counts.resize(object.dirty_.size());
        ++counts[slot];
    }
    if (column) object.columnsDirty_ = true;
    if (object.state_ == ManagedObject::State::Registered) {
        object.state_ = ManagedObject::State::Updated;
        updated_.push_back(object.shared_from_this());
    }
}

std::vector<int64_t>& ManagedObjectContext::toManyKeys(const ManagedObject& object, size_t r) {
    auto& slot = object.toMany_[r];
    if (!slot) {
        slot.emplace();
        const RelationshipDescription& rel = object.entity_->relationships()[r];
        if (object.state_ != ManagedObject::State::Inserted) {
            Error error;
            auto keys = coordinator_->relatedKeys(object.id_, rel, &error);
            if (keys)
                *slot = std::move(*keys);
            else
                logError("Cannot read relationship " + object.entity_->name() + "." + rel.name + ": " +
                         error.localizedDescription());
        }
        // Links set in this context and not saved yet: setting a to-one relationship leaves the
        // other side's set alone until it is read (reading it would cost every member's key).
        // Members that have left are told apart by their own link when the set is read.
        for (const auto* list : {&inserted_, &updated_})
            for (const auto& member : *list) {
                if (member->entity_->name() != rel.destinationEntity) continue;
                int inverse = member->entity_->relationshipIndex(rel.inverseName);
                if (inverse < 0 || member->toOne_[static_cast<size_t>(inverse)] != object.id_.primaryKey)
                    continue;
                if (std::find(slot->begin(), slot->end(), member->id_.primaryKey) == slot->end())
                    slot->push_back(member->id_.primaryKey);
            }
    }
    return *slot;
}

void ManagedObjectContext::unlinkInverse(ManagedObject& object, size_t r, int64_t targetKey) {
    const RelationshipDescription& rel = object.entity_->relationships()[r];
    auto target = objectForID({rel.destinationEntity, targetKey});
    if (!target) return;
    int inverse = target->entity_->relationshipIndex(rel.inverseName);
    if (inverse < 0) return;
    size_t inv = static_cast<size_t>(inverse);
    if (target->entity_->relationships()[inv].toMany) {
        if (auto& keys = target->toMany_[inv]) std::erase(*keys, object.id_.primaryKey);
        didChange(*target, target->relationshipSlot(inv), false);
    } else if (target->toOne_[inv] == object.id_.primaryKey) {
        target->toOne_[inv].reset();
        didChange(*target, target->relationshipSlot(inv), true);
    }
}

bool ManagedObjectContext::setToOne(ManagedObject& object, size_t r,
                                    const std::shared_ptr<ManagedObject>& target) {
    std::optional<int64_t> newKey;
    if (target) newKey = target->id_.primaryKey;
    if (object.toOne_[r] == newKey) return true;
    if (object.toOne_[r]) unlinkInverse(object, r, *object.toOne_[r]);
    if (target) {
        const RelationshipDescription& rel = object.entity_->relationships()[r];
        size_t inv = static_cast<size_t>(target->entity_->relationshipIndex(rel.inverseName));
        if (target->entity_->relationships()[inv].toMany) {
            // A set not read yet is left unread: it takes in the pending link when it is read.
            if (auto& keys = target->toMany_[inv];
                keys && std::find(keys->begin(), keys->end(), object.id_.primaryKey) == keys->end())
                keys->push_back(object.id_.primaryKey);
            didChange(*target, target->relationshipSlot(inv), false);
        } else {
            // One-to-one: whatever the target was linked to loses its link.
            if (target->toOne_[inv] && *target->toOne_[inv] != object.id_.primaryKey) {
                if (auto previous = objectForID({object.entity_->name(), *target->toOne_[inv]})) {
                    previous->toOne_[r].reset();
                    didChange(*previous, previous->relationshipSlot(r), true);
                }
            }
            target->toOne_[inv] = object.id_.primaryKey;
            didChange(*target, target->relationshipSlot(inv), true);
        }
    }
    object.toOne_[r] = newKey;
    didChange(object, object.relationshipSlot(r), true);
    return true;
}

std::shared_ptr<ManagedObject> ManagedObjectContext::insertNewObject(const std::string& entityName) {
    auto entity = coordinator_->managedObjectModel()->entity(entityName);
    if (!entity) {
        logError("No entity named " + entityName);
        return nullptr;
    }
    auto object = ManagedObject::create(entity);
    return insertObject(object) ? object : nullptr;
}

bool ManagedObjectContext::insertObject(const std::shared_ptr<ManagedObject>& object) {
    if (!object || object->state_ != ManagedObject::State::New ||
        coordinator_->managedObjectModel()->entity(object->entity_->name()) != object->entity_) {
        logError("Cannot insert an object that is or was in a context, or of another model");
        return false;
    }
    object->id_ =
        ManagedObjectID{object->entity_->name(), coordinator_->allocatePrimaryKey(object->entity_->name())};
    object->context_ = weak_from_this();
    object->state_ = ManagedObject::State::Inserted;
    for (auto& slot : object->toMany_) slot.emplace();
    registerObject(object);
    inserted_.push_back(object);
    ++pending_[object->entity_.get()].inserted;
    if (!object->awoken_) {
        object->awoken_ = true;
        object->awakeFromInsert();
    }
    return true;
}

void ManagedObjectContext::deleteObject(const std::shared_ptr<ManagedObject>& object) {
    using State = ManagedObject::State;
    if (!object || object->context_.lock().get() != this || object->state_ == State::Deleted ||
        object->state_ == State::Removed)
        return;
    bool wasInserted = object->state_ == State::Inserted;
    if (object->state_ == State::Updated) erase(updated_, *object);
    object->state_ = State::Deleted;
    const auto& relationships = object->entity_->relationships();
    for (size_t r = 0; r < relationships.size(); ++r) {
        const RelationshipDescription& rel = relationships[r];
        if (!rel.toMany) {
            if (!object->toOne_[r]) continue;
            int64_t key = *object->toOne_[r];
            unlinkInverse(*object, r, key);
            if (rel.deleteRule == DeleteRule::Cascade)
                deleteObject(objectForID({rel.destinationEntity, key}));
            continue;
        }
        std::vector<int64_t> members = toManyKeys(*object, r);
        for (int64_t key : members) {
            auto member = objectForID({rel.destinationEntity, key});
            if (!member || member->state_ == State::Deleted) continue;
            size_t inv = static_cast<size_t>(member->entity_->relationshipIndex(rel.inverseName));
            if (member->toOne_[inv] == object->id_.primaryKey) {
                member->toOne_[inv].reset();
                didChange(*member, member->relationshipSlot(inv), true);
            }
            if (rel.deleteRule == DeleteRule::Cascade) deleteObject(member);
        }
        object->toMany_[r].emplace();
    }
    if (wasInserted) {
        remove(*object);
    } else {
        deleted_.push_back(object);
        ++pending_[object->entity_.get()].deleted;
    }
}

// MARK: - Fetching

ManagedObjectContext::PendingEffect ManagedObjectContext::pendingChangesAffect(const FetchRequest& request) const {
    using Effect = PendingEffect;
    if (!hasChanges() || pending_.empty()) return Effect::None;
    const auto& model = *coordinator_->managedObjectModel();
    auto root = model.entity(request.entityName());
    if (!root) return Effect::Own;  // the store reports the error
    auto count = [&](const EntityDescription* entity) -> const Pending* {
        auto it = pending_.find(entity);
        return it == pending_.end() ? nullptr : &it->second;
    };
    Effect effect = Effect::None;
    if (const Pending* p = count(root.get()); p && (p->inserted > 0 || p->deleted > 0)) effect = Effect::Own;
    // A slot of an entity with new objects counts as changed: new objects' values are not counted.
    auto changed = [&](const EntityDescription* entity, size_t slot) {
        const Pending* p = count(entity);
        return p && (p->inserted > 0 || (slot < p->changedSlots.size() && p->changedSlots[slot] > 0));
    };
    // Every slot a key path reads, on the root and on each object it walks to.
    auto note = [&](const std::string& keyPath) {
        auto kp = model.resolveKeyPath(root, keyPath);
        if (!kp) return void(effect = std::max(effect, Effect::Own));
        const EntityDescription* entity = root.get();
        auto mark = [&](size_t slot) {
            if (changed(entity, slot)) effect = std::max(effect, entity == root.get() ? Effect::Own : Effect::Related);
        };
        for (const RelationshipDescription* hop : kp->hops) {
            int r = entity->relationshipIndex(hop->name);
            if (r >= 0) mark(entity->attributes().size() + static_cast<size_t>(r));
            auto next = model.entity(hop->destinationEntity);
            if (!next) return void(effect = std::max(effect, Effect::Own));
            entity = next.get();
        }
        if (kp->attribute) {
            int a = entity->attributeIndex(kp->attribute->name);
            if (a >= 0) mark(static_cast<size_t>(a));
        } else if (kp->relationship->toMany) {
            effect = std::max(effect, Effect::Own);
        } else {
            int r = entity->relationshipIndex(kp->relationship->name);
            if (r >= 0) mark(entity->attributes().size() + static_cast<size_t>(r));
        }
    };
    std::function<void(const Predicate&)> walk = [&](const Predicate& p) {
        if (p.kind() != Predicate::Kind::And) return note(p.keyPath());
        for (const auto& sub : p.subpredicates()) walk(*sub);
    };
    if (request.predicate()) walk(*request.predicate());
    for (const auto& sort : request.sortDescriptors()) note(sort.key);
    return effect;
}

KeyPathValue ManagedObjectContext::resolveKeyPath(const ManagedObject& object, const std::string& keyPath) {
    auto kp = coordinator_->managedObjectModel()->resolveKeyPath(object.entity_, keyPath);
    if (!kp) return KeyPathValue();
    return resolveKeyPath(object, *kp);
}

KeyPathValue ManagedObjectContext::resolveKeyPath(const ManagedObject& object, const ResolvedKeyPath& path) {
    KeyPathValue out;
    const ResolvedKeyPath* kp = &path;
    out.isRelationship = kp->relationship != nullptr;
    std::shared_ptr<ManagedObject> hold;
    const ManagedObject* current = &object;
    for (const RelationshipDescription* hop : kp->hops) {
        const auto& key =
            current->toOne_[static_cast<size_t>(current->entity_->relationshipIndex(hop->name))];
        if (!key) return out;
        hold = objectForID({hop->destinationEntity, *key});
        if (!hold) return out;
        current = hold.get();
    }
    if (kp->attribute) {
        out.value =
            current->attributes_[static_cast<size_t>(current->entity_->attributeIndex(kp->attribute->name))];
    } else if (!kp->relationship->toMany) {
        const auto& key =
            current->toOne_[static_cast<size_t>(current->entity_->relationshipIndex(kp->relationship->name))];
        if (key) out.object = ManagedObjectID{kp->relationship->destinationEntity, *key};
    }
    return out;
}

void ManagedObjectContext::sortObjects(std::vector<std::shared_ptr<ManagedObject>>& objects,
                                       const std::vector<SortDescriptor>& sorts) {
    if (sorts.empty()) return;
    std::vector<std::pair<std::vector<Value>, std::shared_ptr<ManagedObject>>> keyed;
    keyed.reserve(objects.size());
    for (auto& o : objects) {
        std::vector<Value> keys;
        for (const auto& s : sorts) keys.push_back(resolveKeyPath(*o, s.key).value);
        keyed.emplace_back(std::move(keys), std::move(o));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        for (size_t i = 0; i < sorts.size(); ++i) {
            int c = compareValues(a.first[i], b.first[i]);
            if (c != 0) return sorts[i].ascending ? c < 0 : c > 0;
        }
        return false;
    });
    objects.clear();
    for (auto& k : keyed) objects.push_back(std::move(k.second));
}

std::optional<std::vector<std::shared_ptr<ManagedObject>>> ManagedObjectContext::fetch(
    const FetchRequest& request, Error* error) {
    using State = ManagedObject::State;
    PendingEffect effect = pendingChangesAffect(request);
    bool pending = effect != PendingEffect::None;
    // Changes of objects a key path walks to can change the answer for any object of the entity:
    // every stored object is then judged in memory (after the store has checked the request).
    bool judgeAll = effect == PendingEffect::Related && request.predicate();
    std::optional<std::vector<StoredRow>> rows;
    if (judgeAll) {
        if (!coordinator_->countRows(request, error)) return std::nullopt;
        rows = coordinator_->fetchRows(FetchRequest(request.entityName()), false, error);
    } else {
        rows = coordinator_->fetchRows(request, !pending, error);
    }
    if (!rows) return std::nullopt;
    // Key paths are resolved once per entity for all the objects the fetch judges in memory.
    struct Resolved {
        const EntityDescription* entity;
        const std::string* keyPath;
        std::optional<ResolvedKeyPath> path;
    };
    std::vector<Resolved> resolved;
    auto resolveIn = [&](const ManagedObject& object, const std::string& keyPath) {
        auto it = std::find_if(resolved.begin(), resolved.end(), [&](const Resolved& r) {
            return r.entity == object.entity_.get() && (r.keyPath == &keyPath || *r.keyPath == keyPath);
        });
        if (it == resolved.end()) {
            resolved.push_back(Resolved{object.entity_.get(), &keyPath,
                                        coordinator_->managedObjectModel()->resolveKeyPath(object.entity_, keyPath)});
            it = std::prev(resolved.end());
        }
        return it->path ? resolveKeyPath(object, *it->path) : KeyPathValue();
    };
    auto matches = [&](const ManagedObject& object) {
        if (!request.predicate()) return true;
        // One pointer to what the lookup needs, so that the function holding it needs no memory of
        // its own for each object judged.
        struct Scope {
            decltype(resolveIn)* resolve;
            const ManagedObject* object;
        } scope{&resolveIn, &object};
        return request.predicate()->evaluate(
            [s = &scope](const std::string& keyPath) { return (*s->resolve)(*s->object, keyPath); });
    };
    std::vector<std::shared_ptr<ManagedObject>> results;
    results.reserve(rows->size());
    for (const auto& row : *rows) {
        auto object = materialize(row);
        if (!object || object->state_ == State::Deleted) continue;
        // Objects with unsaved changes are judged on their values in this context, below.
        if (pending && (object->state_ == State::Inserted || object->state_ == State::Updated)) continue;
        if (judgeAll && !matches(*object)) continue;
        results.push_back(std::move(object));
    }
    if (!pending) return results;
    for (const auto* list : {&inserted_, &updated_})
        for (const auto& object : *list) {
            if (object->entity_->name() != request.entityName() || !matches(*object)) continue;
            results.push_back(object);
        }
    sortObjects(results, request.sortDescriptors());
    if (request.fetchLimit() > 0 && results.size() > request.fetchLimit())
        results.resize(request.fetchLimit());
    return results;
}

std::optional<size_t> ManagedObjectContext::count(const FetchRequest& request, Error* error) {
    if (pendingChangesAffect(request) == PendingEffect::None) return coordinator_->countRows(request, error);
    auto objects = fetch(request, error);
    if (!objects) return std::nullopt;
    return objects->size();
}

// MARK: - Saving and merging

bool ManagedObjectContext::save(Error* error) {
    using State = ManagedObject::State;
    if (!hasChanges()) return true;
    StoreChanges changes;
    auto rowOf = [](const ManagedObject& o) { return RowWrite{o.id_, o.version_, &o.attributes_, &o.toOne_}; };
    auto validate = [&](const ManagedObject& o) {
        for (size_t i = 0; i < o.attributes_.size(); ++i) {
            const AttributeDescription& a = o.entity_->attributes()[i];
            if (a.optional || !o.attributes_[i].isNil()) continue;
            if (error)
                *error =
                    Error(kCocoaErrorDomain, static_cast<int64_t>(CoreDataError::MissingMandatoryProperty),
                          Value::dictionary({{Error::kLocalizedDescriptionKey,
                                              o.entity_->name() + "." + a.name + " is a required value."},
                                             {"NSValidationErrorKey", a.name}}));
            return false;
        }
        return true;
    };
    changes.inserts.reserve(inserted_.size());
    for (const auto& o : inserted_) {
        if (!validate(*o)) return false;
        changes.inserts.push_back(rowOf(*o));
    }
    for (const auto& o : updated_) {
        if (!o->columnsDirty_) continue;
        if (!validate(*o)) return false;
        changes.updates.push_back(rowOf(*o));
    }
    for (const auto& o : deleted_) changes.deletes.push_back(o->id_);
    if (!coordinator_->save(changes, error)) return false;
    pending_.clear();

    // The notification's lists of ids are made only when someone will hear it.
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const bool heard = center.hasObservers(kDidSaveNotification, this);
    auto inserted = std::move(inserted_);
    auto updated = std::move(updated_);
    auto deleted = std::move(deleted_);
    inserted_.clear();
    updated_.clear();
    deleted_.clear();
    Notification::ObjectMap saved;
    if (heard) {
        for (const auto& [key, objects] :
             {std::pair{kInsertedObjectsKey, &inserted}, std::pair{kUpdatedObjectsKey, &updated},
              std::pair{kDeletedObjectsKey, &deleted}}) {
            auto ids = std::make_shared<std::vector<ManagedObjectID>>();
            ids->reserve(objects->size());
            for (const auto& o : *objects) ids->push_back(o->id_);
            saved.emplace(key, std::move(ids));
        }
    }
    for (const auto& o : inserted) {
        o->state_ = State::Registered;
        o->version_ = 1;
    }
    for (const auto& o : updated) {
        o->state_ = State::Registered;
        if (o->columnsDirty_) ++o->version_;
    }
    for (const auto& o : deleted) remove(*o);
    for (const auto* list : {&inserted, &updated})
        for (const auto& o : *list) {
            std::fill(o->dirty_.begin(), o->dirty_.end(), false);
            o->columnsDirty_ = false;
        }
    if (!heard) return true;
    center.post(kDidSaveNotification, shared_from_this(),
                Value::dictionary({{kStoreKey, coordinator_->storeIdentifier()}}), std::move(saved));
    return true;
}

const std::vector<ManagedObjectID>& ManagedObjectContext::savedObjectIDs(const Notification& notification,
                                                                         const char* key) {
    static const std::vector<ManagedObjectID> none;
    auto ids = notification.object<const std::vector<ManagedObjectID>>(key);
    return ids ? *ids : none;
}

void ManagedObjectContext::mergeChangesFromContextDidSaveNotification(const Notification& notification) {
    using State = ManagedObject::State;
    if (notification.object().get() == static_cast<void*>(this)) return;
    // A merge touches only objects this context holds: without any, the saved ids need not be read.
    bool holdsObjects = false;
    for (auto it = registry_.begin(); it != registry_.end();) {
        if (!it->second.expired()) {
            holdsObjects = true;
            break;
        }
        it = registry_.erase(it);
    }
    if (!holdsObjects) return;
    for (const auto& id : savedObjectIDs(notification, kDeletedObjectsKey))
        if (auto object = registered(id)) remove(*object);
    for (const char* key : {kInsertedObjectsKey, kUpdatedObjectsKey})
        for (const auto& id : savedObjectIDs(notification, key)) {
            auto object = registered(id);
            if (!object || object->state_ == State::Removed || object->state_ == State::Inserted) continue;
            std::optional<StoredRow> row;
            Error error;
            if (!coordinator_->readRow(id, row, &error)) {
                logError("Cannot refresh a merged object: " + error.localizedDescription());
                continue;
            }
            if (row)
                fill(*object, *row, true);
            else
                remove(*object);
        }
    // Relationships read before the merge may have gained or lost members.
    for (auto& [id, weak] : registry_) {
        auto object = weak.lock();
        if (!object || object->state_ == State::Inserted) continue;
        for (size_t r = 0; r < object->toMany_.size(); ++r)
            if (!object->dirty_[object->relationshipSlot(r)]) object->toMany_[r].reset();
    }
}

void ManagedObjectContext::setAutomaticallyMergesChangesFromParent(bool on) {
    if (on && !observer_) {
        std::weak_ptr<ManagedObjectContext> weak = weak_from_this();
        observer_ = NotificationCenter::defaultCenter().addObserver(
            kDidSaveNotification, nullptr, nullptr, [weak](const Notification& n) {
                auto self = weak.lock();
                if (!self || n.object().get() == static_cast<void*>(self.get())) return;
                std::string store = self->coordinator_->storeIdentifier();
                if (store.empty() || n.userInfo()[kStoreKey] != Value(store)) return;
                self->perform([self, n] { self->mergeChangesFromContextDidSaveNotification(n); });
            });
    } else if (!on && observer_) {
        NotificationCenter::defaultCenter().removeObserver(observer_);
        observer_.reset();
    }
}

}  // namespace brindlecue::platform
