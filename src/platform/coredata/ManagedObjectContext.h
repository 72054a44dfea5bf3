#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/Error.h"
#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/ManagedObject.h"
#include "platform/coredata/ManagedObjectID.h"

namespace brindlecue::platform {

class DispatchQueue;
class Notification;
class NotificationObserver;
class PersistentStoreCoordinator;
struct ResolvedKeyPath;
struct StoredRow;

// A scratch pad of managed objects over a coordinator's store. Each context is confined to its
// queue: the main queue, or a private serial queue of its own. Work on a context and on its
// objects runs inside perform (asynchronous) or performAndWait (synchronous); a main-queue
// context may also be used directly on the main thread.
//
// Within a context each stored object is one ManagedObject (identity per context). Fetches go to
// the store and also see the context's unsaved inserts, changes and deletions. Objects already in
// the context keep their values until a merge or a save of this context refreshes them.
//
// A successful save posts kDidSaveNotification (object: the context). Its objects hold the ids of
// the inserted, updated and deleted objects (savedObjectIDs reads them), its user info the
// store's identifier under "NSStoreUUID".
class ManagedObjectContext : public std::enable_shared_from_this<ManagedObjectContext> {
public:
    enum class ConcurrencyType { MainQueue, PrivateQueue };
    static constexpr const char* kDidSaveNotification = "NSManagedObjectContextDidSaveNotification";
    static constexpr const char* kInsertedObjectsKey = "inserted";
    static constexpr const char* kUpdatedObjectsKey = "updated";
    static constexpr const char* kDeletedObjectsKey = "deleted";
    // The ids a did-save notification lists under the key (empty when it lists none).
    static const std::vector<ManagedObjectID>& savedObjectIDs(const Notification& notification,
                                                              const char* key);

    static std::shared_ptr<ManagedObjectContext> create(
        ConcurrencyType type, std::shared_ptr<PersistentStoreCoordinator> coordinator);
    ~ManagedObjectContext();
    ManagedObjectContext(const ManagedObjectContext&) = delete;
    ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

    ConcurrencyType concurrencyType() const { return type_; }
    const std::shared_ptr<PersistentStoreCoordinator>& persistentStoreCoordinator() const {
        return coordinator_;
    }

    // Schedules the block on the context's queue and returns at once.
    void perform(std::function<void()> block);
    // The same, giving back the block's number in the sequence of blocks queued on the context
    // (by perform and performAndWait alike), for isLastQueued.
    uint64_t performNumbered(std::function<void()> block);
    // Whether the block of the number is still the last one queued on a private-queue context:
    // nothing was queued on the context after it (it may have started or ended since). Work a
    // caller hands to its own block while this holds keeps its place in the context's order, as
    // if it had been queued as a block of its own. Always false on a main-queue context, whose
    // queue takes other work too.
    bool isLastQueued(uint64_t number) const;
    // Runs the block on the context's queue and waits for it, giving back its result. From inside
    // the context's own queue the block runs at once.
    template <class F>
    auto performAndWait(F&& block) -> decltype(block()) {
        if constexpr (std::is_void_v<decltype(block())>)
            syncOnQueue(std::function<void()>(std::forward<F>(block)));
        else {
            std::optional<std::decay_t<decltype(block())>> out;
            syncOnQueue([&] { out.emplace(block()); });
            return std::move(*out);
        }
    }

    // Inserts a new object of the entity (its awakeFromInsert runs); null for an unknown entity.
    std::shared_ptr<ManagedObject> insertNewObject(const std::string& entityName);
    template <class T>
    std::shared_ptr<T> insertNewObject(const std::string& entityName) {
        return std::dynamic_pointer_cast<T>(insertNewObject(entityName));
    }
    // Inserts an object made with ManagedObject::create. Refused (false, logged) for an object
    // that is or was in a context, or whose entity this context's model does not have.
    bool insertObject(const std::shared_ptr<ManagedObject>& object);
    // Marks the object for deletion at the next save (an object never saved just goes), applying
    // the delete rules of its relationships: nullify removes it from the objects on the other
    // side, cascade deletes them too.
    void deleteObject(const std::shared_ptr<ManagedObject>& object);

    // The object with the id, from this context or read from the store; null (error filled) when
    // the store has no such object.
    std::shared_ptr<ManagedObject> existingObject(const ManagedObjectID& id, Error* error = nullptr);

    // nullopt (error filled) when the request cannot be run: no store, unknown entity or key, an
    // argument that does not fit its key, an invalid regular expression, a failing database.
    std::optional<std::vector<std::shared_ptr<ManagedObject>>> fetch(const FetchRequest& request,
                                                                     Error* error = nullptr);
    std::optional<size_t> count(const FetchRequest& request, Error* error = nullptr);

    bool hasChanges() const { return !inserted_.empty() || !updated_.empty() || !deleted_.empty(); }
    const std::vector<std::shared_ptr<ManagedObject>>& insertedObjects() const { return inserted_; }
    const std::vector<std::shared_ptr<ManagedObject>>& updatedObjects() const { return updated_; }
    const std::vector<std::shared_ptr<ManagedObject>>& deletedObjects() const { return deleted_; }

    // Writes every change in one transaction. On failure nothing is written and the changes stay
    // in the context for the next save. Failures: a non-optional attribute that is nil, a value
    // that cannot be stored, a row that changed in the store since this context read it (merge
    // conflict), no store, a database error.
    bool save(Error* error = nullptr);

    // Brings in another context's saved changes: objects of this context that were updated are
    // refreshed from the store (keeping this context's own unsaved changes), deleted ones leave
    // the context, and to-many relationships are read again. Call on the context's queue.
    void mergeChangesFromContextDidSaveNotification(const Notification& notification);
    // When on, every save of another context of the same store is merged in on this context's queue.
    void setAutomaticallyMergesChangesFromParent(bool on);
    bool automaticallyMergesChangesFromParent() const { return observer_ != nullptr; }

private:
    friend class ManagedObject;
    ManagedObjectContext(ConcurrencyType type, std::shared_ptr<PersistentStoreCoordinator> coordinator);
    void syncOnQueue(const std::function<void()>& block);
    void runScoped(const std::function<void()>& block);

    std::shared_ptr<ManagedObject> registered(const ManagedObjectID& id) const;
    void registerObject(const std::shared_ptr<ManagedObject>& object);
    std::shared_ptr<ManagedObject> materialize(const StoredRow& row);
    // The object with the id (registered or read from the store); null when there is none.
    std::shared_ptr<ManagedObject> objectForID(const ManagedObjectID& id);
    void fill(ManagedObject& object, const StoredRow& row, bool keepDirty);
    // valueChanged: the slot now holds another value than before (not just set again).
    void didChange(ManagedObject& object, size_t slot, bool column, bool valueChanged = true);
    std::vector<int64_t>& toManyKeys(const ManagedObject& object, size_t relationshipIndex);
    bool setToOne(ManagedObject& object, size_t relationshipIndex,
                  const std::shared_ptr<ManagedObject>& target);
    void unlinkInverse(ManagedObject& object, size_t relationshipIndex, int64_t targetKey);
    void remove(ManagedObject& object);
    // Whether unsaved changes could make the store's answer to the request wrong: inserted or
    // deleted objects of its entity, or changed values of a slot its predicate or sort reads, on
    // the entity itself (Own) or on an entity a key path walks to (Related).
    enum class PendingEffect { None, Own, Related };
    PendingEffect pendingChangesAffect(const FetchRequest& request) const;
    KeyPathValue resolveKeyPath(const ManagedObject& object, const std::string& keyPath);
    KeyPathValue resolveKeyPath(const ManagedObject& object, const ResolvedKeyPath& path);
    void sortObjects(std::vector<std::shared_ptr<ManagedObject>>& objects,
                     const std::vector<SortDescriptor>& sorts);
    static void erase(std::vector<std::shared_ptr<ManagedObject>>& list, const ManagedObject& object);

    ConcurrencyType type_;
    std::shared_ptr<PersistentStoreCoordinator> coordinator_;
    std::shared_ptr<DispatchQueue> queue_;
    // The number of the last block queued (isLastQueued); queuing a block and numbering it are
    // one step under the mutex.
    mutable std::mutex sequenceMutex_;
    uint64_t sequence_ = 0;
    // Looked up for every object a fetch, a relationship or a merge names, and written for every
    // object made. Keys differ mostly by primary key: the hash mixes the key with the entity
    // name's length and ends (no pass over the name), and equality compares the keys first.
    struct IDHash {
        size_t operator()(const ManagedObjectID& id) const noexcept {
            const std::string& name = id.entityName;
            const uint64_t entity =
                name.empty()
                    ? 0
                    : (name.size() << 16) ^ (uint64_t(uint8_t(name.front())) << 8) ^ uint8_t(name.back());
            return static_cast<size_t>((uint64_t(id.primaryKey) ^ (entity << 40)) * 0x9e3779b97f4a7c15ULL);
        }
    };
    struct IDEqual {
        bool operator()(const ManagedObjectID& a, const ManagedObjectID& b) const noexcept {
            return a.primaryKey == b.primaryKey && a.entityName == b.entityName;
        }
    };
    std::unordered_map<ManagedObjectID, std::weak_ptr<ManagedObject>, IDHash, IDEqual> registry_;
    size_t pruneAt_ = 1024;
    std::vector<std::shared_ptr<ManagedObject>> inserted_;
    std::vector<std::shared_ptr<ManagedObject>> updated_;
    std::vector<std::shared_ptr<ManagedObject>> deleted_;
    std::shared_ptr<NotificationObserver> observer_;
    // Unsaved changes by entity, cleared by a successful save. They may overcount (an object
    // removed by a merge), which only costs a slower fetch.
    struct Pending {
        size_t inserted = 0;
        size_t deleted = 0;
        std::vector<size_t> changedSlots;
    };
    std::map<const EntityDescription*, Pending> pending_;
};

}  // namespace brindlecue::platform
