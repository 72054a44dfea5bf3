#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/ManagedObjectID.h"
#include "platform/coredata/ManagedObjectModel.h"

struct sqlite3;
struct sqlite3_stmt;

namespace brindlecue::platform {

// One object's row as the store holds it, in model terms: attribute values by attribute index
// (transformable values already read back), and the primary key of each to-one relationship's
// object by relationship index (none for nil and for to-many slots).
struct StoredRow {
    ManagedObjectID id;
    int64_t version = 0;
    std::vector<Value> attributes;
    std::vector<std::optional<int64_t>> toOne;
};

// One object's row as a save writes it. The values belong to the object and are neither copied
// nor changed while the save runs.
struct RowWrite {
    ManagedObjectID id;
    int64_t version = 0;
    const std::vector<Value>* attributes = nullptr;
    const std::vector<std::optional<int64_t>>* toOne = nullptr;
};

// A save's writes. Updates carry the version their values were read at; a row whose version has
// moved on since is a merge conflict and fails the whole save.
struct StoreChanges {
    std::vector<RowWrite> inserts;
    std::vector<RowWrite> updates;
    std::vector<ManagedObjectID> deletes;
};

// The coordinator between contexts and the one SQLite store of a model. It owns a single
// connection (WAL journal, busy time-out), guarded by a mutex so that contexts on any queue may
// use it. The schema is created from the model when the store is added: one table per entity,
// the key in Z_PK, the row version in Z_OPT, one column per attribute and per to-one
// relationship; columns the model gained since the file was made are added. To-one relationships
// and attributes marked indexed get an index. The file's metadata keeps the model's version hash,
// so that a file already made for the model is opened without looking at its tables.
// The statements of each entity's rows are prepared once and kept for the connection; a save is
// one transaction.
//
// One coordinator per store file: primary keys are handed out from counters it reads from the
// file when an entity first needs one.
class PersistentStoreCoordinator {
public:
    explicit PersistentStoreCoordinator(std::shared_ptr<const ManagedObjectModel> model);
    ~PersistentStoreCoordinator();
    PersistentStoreCoordinator(const PersistentStoreCoordinator&) = delete;
    PersistentStoreCoordinator& operator=(const PersistentStoreCoordinator&) = delete;

    const std::shared_ptr<const ManagedObjectModel>& managedObjectModel() const { return model_; }

    // Opens (creating if needed) the database at the path. A file that is not a database, or one
    // that cannot be opened, gives an error and leaves the coordinator without a store.
    std::optional<Error> addPersistentStore(const std::filesystem::path& url);
    bool hasStore() const;
    std::filesystem::path storeURL() const;
    // The store's identifier, kept in the file; part of object URIs.
    std::string storeIdentifier() const;

    // A fresh primary key for a new object of the entity.
    int64_t allocatePrimaryKey(const std::string& entityName);
    std::optional<ManagedObjectID> managedObjectIDForURIRepresentation(const std::string& uri) const;

    // The row of an object: true with out set, true with out empty when there is no such row,
    // false (error filled) when the store cannot be read.
    bool readRow(const ManagedObjectID& id, std::optional<StoredRow>& out, Error* error = nullptr);
    // Rows that satisfy the request's predicate; sorted and limited only when sortAndLimit is set.
    std::optional<std::vector<StoredRow>> fetchRows(const FetchRequest& request, bool sortAndLimit,
                                                    Error* error = nullptr);
    std::optional<size_t> countRows(const FetchRequest& request, Error* error = nullptr);
    // Keys of the objects on the other side of a to-many relationship of the object.
    std::optional<std::vector<int64_t>> relatedKeys(const ManagedObjectID& id,
                                                    const RelationshipDescription& toMany,
                                                    Error* error = nullptr);
    // Writes all changes in one transaction, or none of them.
    bool save(const StoreChanges& changes, Error* error = nullptr);

    // While a read scope is open (contexts open one around each block they run), the reads share
    // one read transaction, begun by the first of them, instead of taking and dropping the
    // file's read lock for every statement. A save ends it first; the last scope to close ends
    // it. Scopes nest and may be opened on several threads at once.
    void beginReadScope();
    void endReadScope();

private:
    // The prepared statements of one entity's rows, made on first use.
    struct EntityStatements {
        std::string columns;  // the select list, alias t0
        sqlite3_stmt* read = nullptr;
        sqlite3_stmt* insert = nullptr;
        // Inserts kInsertRows rows in one statement: a long run of new rows of the entity.
        sqlite3_stmt* insertRows = nullptr;
        sqlite3_stmt* update = nullptr;
        sqlite3_stmt* remove = nullptr;
    };
    EntityStatements& statementsFor(const EntityDescription& entity);
    sqlite3_stmt* prepareOnce(sqlite3_stmt*& slot, const std::string& sql, Error* error);
    sqlite3_stmt* prepare(const std::string& sql, Error* error);
    bool exec(const std::string& sql, Error* error);
    // Called with the lock held before a read: joins or begins the scope's read transaction.
    void enterRead();
    void endReadTransaction();
    Error sqliteError(const std::string& what, int rc) const;
    std::optional<Error> createSchema();
    static std::vector<std::string> indexedColumns(const EntityDescription& entity);
    // Reads the store identifier; true when the file's model hash is the given one.
    bool readMetadata(const std::string& modelHash);
    std::optional<Error> requireStore(const std::shared_ptr<const EntityDescription>& entity) const;
    StoredRow readColumns(sqlite3_stmt* stmt, const EntityDescription& entity) const;
    void close();

    std::shared_ptr<const ManagedObjectModel> model_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::filesystem::path url_;
    std::string storeIdentifier_;
    std::map<std::string, int64_t> lastKeys_;
    std::map<std::string, sqlite3_stmt*> statements_;
    std::map<const EntityDescription*, EntityStatements> entityStatements_;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* beginRead_ = nullptr;
    sqlite3_stmt* endRead_ = nullptr;
    int readScopes_ = 0;
    bool readTransaction_ = false;
};

}  // namespace brindlecue::platform
