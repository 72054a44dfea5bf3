#include "platform/coredata/PersistentStoreCoordinator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <system_error>
#include <utility>

#include "platform/Crypto.h"
#include "platform/SQLiteLibrary.h"
#include "platform/coredata/CoreDataError.h"
#include "platform/coredata/RegularExpression.h"
#include "platform/coredata/ValueTransformer.h"

namespace brindlecue::platform {

namespace {

constexpr int kBusyTimeoutMs = 5000;
// New rows of an entity inserted by one statement.
constexpr size_t kInsertRows = 32;
constexpr const char* kMatchesFunction = "brindlecue_matches";
constexpr const char* kStoreUUIDKey = "NSStoreUUID";
constexpr const char* kModelHashKey = "NSStoreModelVersionHash";
const Value kNil;

std::string q(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

const char* columnType(AttributeType type) {
    switch (type) {
        case AttributeType::String:
            return "TEXT";
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
        case AttributeType::Boolean:
            return "INTEGER";
        case AttributeType::Double:
        case AttributeType::Date:
            return "REAL";
        case AttributeType::Binary:
        case AttributeType::Transformable:
            return "BLOB";
    }
    return "BLOB";
}

// A model value as it is bound to a statement: integer, real, text, data or absent (NULL).
// False when the value does not fit the attribute.
bool storedArgument(AttributeType type, const Value& v, Value& out) {
    if (v.isNil()) {
        out = Value();
        return true;
    }
    switch (type) {
        case AttributeType::String:
            if (!v.isString()) return false;
            out = v;
            return true;
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
        case AttributeType::Boolean:
        case AttributeType::Double:
            if (!v.isNumber()) return false;
            out = type == AttributeType::Double || v.isReal() ? Value(v.doubleValue()) : Value(v.integerValue());
            return true;
        case AttributeType::Date:
            if (!v.isDate()) return false;
            out = Value(v.getDate()->timeIntervalSinceReferenceDate());
            return true;
        case AttributeType::Binary:
            if (!v.isData()) return false;
            out = v;
            return true;
        case AttributeType::Transformable:
            return false;
    }
    return false;
}

// The stored form of an attribute's value, running transformable values through their transformer.
bool storedValue(const AttributeDescription& a, const Value& v, Value& out, std::string& why) {
    if (a.type != AttributeType::Transformable) {
        if (storedArgument(a.type, v, out)) return true;
        why = "value of the wrong kind";
        return false;
    }
    if (v.isNil()) {
        out = Value();
        return true;
    }
    auto transformer = ValueTransformer::valueTransformerForName(a.valueTransformerName);
    if (!transformer) {
        why = "no value transformer named " + a.valueTransformerName;
        return false;
    }
    out = transformer->transformedValue(v);
    if (!out.isData()) {
        why = "value transformer " + a.valueTransformerName + " cannot store the value";
        return false;
    }
    return true;
}

Value readValue(sqlite3_stmt* stmt, int col, const AttributeDescription& a) {
    if (sqlite3_column_type(stmt, col) == SQLITE_NULL) return Value();
    switch (a.type) {
        case AttributeType::String: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
            return Value(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, col))));
        }
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
            return Value(static_cast<int64_t>(sqlite3_column_int64(stmt, col)));
        case AttributeType::Boolean:
            return Value(sqlite3_column_int64(stmt, col) != 0);
        case AttributeType::Double:
            return Value(sqlite3_column_double(stmt, col));
        case AttributeType::Date:
            return Value(Date::fromTimeIntervalSinceReferenceDate(sqlite3_column_double(stmt, col)));
        case AttributeType::Binary:
        case AttributeType::Transformable: {
            const void* blob = sqlite3_column_blob(stmt, col);
            Value data = Value::data(blob, static_cast<size_t>(sqlite3_column_bytes(stmt, col)));
            if (a.type == AttributeType::Binary) return data;
            auto transformer = ValueTransformer::valueTransformerForName(a.valueTransformerName);
            return transformer ? transformer->reverseTransformedValue(data) : Value();
        }
    }
    return Value();
}

// Text and data are copied unless the caller keeps the value alive until its binding is cleared
// (SQLITE_STATIC).
void bindValue(sqlite3_stmt* stmt, int index, const Value& v,
               sqlite3_destructor_type lifetime = SQLITE_TRANSIENT) {
    if (v.isNil()) {
        sqlite3_bind_null(stmt, index);
    } else if (v.isInteger() || v.isBool()) {
        sqlite3_bind_int64(stmt, index, v.integerValue());
    } else if (v.isReal()) {
        sqlite3_bind_double(stmt, index, v.doubleValue());
    } else if (const std::string* s = v.getString()) {
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), lifetime);
    } else if (const Data* d = v.getData()) {
        sqlite3_bind_blob(stmt, index, d->data(), static_cast<int>(d->size()), lifetime);
    } else {
        sqlite3_bind_null(stmt, index);
    }
}

void bindOptionalKey(sqlite3_stmt* stmt, int index, const std::optional<int64_t>& key) {
    if (key)
        sqlite3_bind_int64(stmt, index, *key);
    else
        sqlite3_bind_null(stmt, index);
}

// " DEFAULT <literal>" for an attribute whose default value is a number, Boolean or text.
std::string defaultClause(const AttributeDescription& a) {
    const Value& v = a.defaultValue;
    if (a.type == AttributeType::Transformable || v.isNil()) return "";
    if (const std::string* text = v.getString()) {
        if (a.type != AttributeType::String) return "";
        std::string literal = "'";
        for (char c : *text) literal += c == '\'' ? std::string("''") : std::string(1, c);
        return " DEFAULT " + literal + "'";
    }
    if (v.isBool() || v.isInteger()) return " DEFAULT " + std::to_string(v.integerValue());
    if (v.isReal()) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", v.doubleValue());
        return " DEFAULT " + std::string(buffer);
    }
    return "";
}

// Whether a value may be stored in a column of the attribute's kind (nil always may).
bool fitsAttribute(AttributeType type, const Value& v) {
    if (v.isNil()) return true;
    switch (type) {
        case AttributeType::String:
            return v.isString();
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
        case AttributeType::Boolean:
        case AttributeType::Double:
            return v.isNumber();
        case AttributeType::Date:
            return v.isDate();
        case AttributeType::Binary:
            return v.isData();
        case AttributeType::Transformable:
            return false;
    }
    return false;
}

// Binds an attribute's value in its stored form without copying it: the value outlives the step.
void bindAttribute(sqlite3_stmt* stmt, int index, AttributeType type, const Value& v) {
    if (v.isNil()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (type) {
        case AttributeType::String: {
            const std::string& s = *v.getString();
            sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
            return;
        }
        case AttributeType::Integer16:
        case AttributeType::Integer32:
        case AttributeType::Integer64:
        case AttributeType::Boolean:
            if (v.isReal())
                sqlite3_bind_double(stmt, index, v.doubleValue());
            else
                sqlite3_bind_int64(stmt, index, v.integerValue());
            return;
        case AttributeType::Double:
            sqlite3_bind_double(stmt, index, v.doubleValue());
            return;
        case AttributeType::Date:
            sqlite3_bind_double(stmt, index, v.getDate()->timeIntervalSinceReferenceDate());
            return;
        case AttributeType::Binary: {
            const Data& d = *v.getData();
            sqlite3_bind_blob(stmt, index, d.data(), static_cast<int>(d.size()), SQLITE_STATIC);
            return;
        }
        case AttributeType::Transformable:
            sqlite3_bind_null(stmt, index);
            return;
    }
}

// MATCHES: the whole text against an ICU expression; NULL text never matches.
void matchesFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                          static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    std::string pattern(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                        static_cast<size_t>(sqlite3_value_bytes(argv[1])));
    auto regex = RegularExpression::cached(pattern);
    sqlite3_result_int(ctx, regex && regex->matchesWhole(text) ? 1 : 0);
}

// Builds the SQL of key paths, predicates and sort orders of one entity's query (alias t0).
class QueryBuilder {
public:
    QueryBuilder(const ManagedObjectModel& model, std::shared_ptr<const EntityDescription> root)
        : model_(model), root_(std::move(root)) {}

    std::vector<Value> binds;

    std::optional<ResolvedKeyPath> resolve(const std::string& keyPath, Error* error) const {
        return model_.resolveKeyPath(root_, keyPath, error);
    }

    static std::string expression(const ResolvedKeyPath& kp) {
        std::string last = kp.attribute ? kp.attribute->name : kp.relationship->name;
        if (kp.hops.empty()) return "t0." + q(last);
        std::string expr = "t0." + q(kp.hops[0]->name);
        for (size_t i = 1; i < kp.hops.size(); ++i)
            expr = "(SELECT " + q(kp.hops[i]->name) + " FROM " + q(kp.hops[i - 1]->destinationEntity) +
                   " WHERE Z_PK = " + expr + ")";
        return "(SELECT " + q(last) + " FROM " + q(kp.hops.back()->destinationEntity) +
               " WHERE Z_PK = " + expr + ")";
    }

    bool predicate(const Predicate& p, std::string& out, Error* error) {
        auto fail = [&](const std::string& why) {
            if (error)
                *error = makeCoreDataError(CoreDataError::CoreData,
                                           "Unsupported predicate " + p.predicateFormat() + ": " + why);
            return false;
        };
        if (p.kind() == Predicate::Kind::And) {
            if (p.subpredicates().empty()) {
                out = "1";
                return true;
            }
            std::string joined;
            for (const auto& s : p.subpredicates()) {
                std::string part;
                if (!predicate(*s, part, error)) return false;
                joined += (joined.empty() ? "(" : " AND (") + part + ")";
            }
            out = joined;
            return true;
        }
        Error keyError;
        auto kp = resolve(p.keyPath(), &keyError);
        if (!kp) return fail(keyError.localizedDescription());
        std::string expr = expression(*kp);
        switch (p.kind()) {
            case Predicate::Kind::Equal:
            case Predicate::Kind::NotEqual: {
                std::string op = p.kind() == Predicate::Kind::Equal ? " IS " : " IS NOT ";
                if (kp->relationship) {
                    if (kp->relationship->toMany) return fail("to-many relationships cannot be compared");
                    if (p.objectID()) {
                        if (p.objectID()->entityName != kp->relationship->destinationEntity)
                            return fail("the object is not a " + kp->relationship->destinationEntity);
                        binds.push_back(Value(p.objectID()->primaryKey));
                    } else if (!p.value().isNil()) {
                        return fail("a relationship compares only with an object or nil");
                    } else {
                        binds.push_back(Value());
                    }
                    out = expr + op + "?";
                    return true;
                }
                Value arg;
                if (p.objectID() || !storedArgument(kp->attribute->type, p.value(), arg))
                    return fail("the argument does not fit the attribute");
                binds.push_back(arg);
                if (p.kind() == Predicate::Kind::Equal && kp->hops.size() == 1 && !arg.isNil() &&
                    kp->attribute->type != AttributeType::Transformable) {
                    // "install.appKey == x" as the keys of the installs with that key: the indexes
                    // of both sides answer it, where the value read row by row would visit every
                    // row. A row without the relationship matches neither way.
                    const RelationshipDescription& hop = *kp->hops[0];
                    out = "t0." + q(hop.name) + " IN (SELECT Z_PK FROM " + q(hop.destinationEntity) +
                          " WHERE " + q(kp->attribute->name) + " = ?)";
                    return true;
                }
                out = expr + op + "?";
                return true;
            }
            case Predicate::Kind::Contains:
            case Predicate::Kind::Matches: {
                if (!kp->attribute || kp->attribute->type != AttributeType::String)
                    return fail("only text attributes can be searched");
                const std::string& text = *p.value().getString();
                if (p.kind() == Predicate::Kind::Contains) {
                    if (text.empty()) {
                        out = "0";
                        return true;
                    }
                    binds.push_back(p.value());
                    out = "instr(" + expr + ", ?) > 0";
                    return true;
                }
                if (!RegularExpression::cached(text)) return fail("the regular expression is not valid");
                binds.push_back(p.value());
                out = std::string(kMatchesFunction) + "(" + expr + ", ?)";
                return true;
            }
            case Predicate::Kind::And:
                break;
        }
        return fail("unknown form");
    }

    bool orderBy(const std::vector<SortDescriptor>& sorts, std::string& out, Error* error) {
        for (const auto& s : sorts) {
            auto kp = resolve(s.key, error);
            if (!kp) return false;
            if (!kp->attribute || kp->attribute->type == AttributeType::Transformable) {
                if (error)
                    *error = makeCoreDataError(CoreDataError::CoreData, "Cannot sort by \"" + s.key + "\"");
                return false;
            }
            out += (out.empty() ? " ORDER BY " : ", ") + expression(*kp) + (s.ascending ? " ASC" : " DESC");
        }
        return true;
    }

private:
    const ManagedObjectModel& model_;
    std::shared_ptr<const EntityDescription> root_;
};

// Resets a cached statement when the scope ends.
struct Reset {
    sqlite3_stmt* stmt;
    bool clearBindings = true;
    ~Reset() {
        if (stmt) {
            sqlite3_reset(stmt);
            if (clearBindings) sqlite3_clear_bindings(stmt);
        }
    }
};

// The row statements of a save bind every parameter before each step; their bindings (which
// point into the values being saved) are cleared once, when the save is over.
struct Unbind {
    std::vector<sqlite3_stmt*> statements;
    void add(sqlite3_stmt* stmt) {
        if (std::find(statements.begin(), statements.end(), stmt) == statements.end()) statements.push_back(stmt);
    }
    ~Unbind() {
        for (sqlite3_stmt* stmt : statements) sqlite3_clear_bindings(stmt);
    }
};

}  // namespace

PersistentStoreCoordinator::PersistentStoreCoordinator(std::shared_ptr<const ManagedObjectModel> model)
    : model_(std::move(model)) {}

PersistentStoreCoordinator::~PersistentStoreCoordinator() {
    close();
}

void PersistentStoreCoordinator::beginReadScope() {
    std::lock_guard lock(mutex_);
    ++readScopes_;
}

void PersistentStoreCoordinator::endReadScope() {
    std::lock_guard lock(mutex_);
    if (readScopes_ > 0 && --readScopes_ == 0) endReadTransaction();
}

void PersistentStoreCoordinator::enterRead() {
    if (readScopes_ == 0 || readTransaction_ || !db_ || !sqlite3_get_autocommit(db_)) return;
    sqlite3_stmt* begin = prepareOnce(beginRead_, "BEGIN DEFERRED", nullptr);
    if (!begin) return;
    readTransaction_ = sqlite3_step(begin) == SQLITE_DONE;
    sqlite3_reset(begin);
}

void PersistentStoreCoordinator::endReadTransaction() {
    if (!readTransaction_) return;
    readTransaction_ = false;
    if (!db_ || sqlite3_get_autocommit(db_)) return;
    if (sqlite3_stmt* end = prepareOnce(endRead_, "COMMIT", nullptr)) {
        sqlite3_step(end);
        sqlite3_reset(end);
    }
}

void PersistentStoreCoordinator::close() {
    endReadTransaction();
    sqlite3_finalize(beginRead_);
    sqlite3_finalize(endRead_);
    beginRead_ = endRead_ = nullptr;
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    statements_.clear();
    for (auto& [entity, set] : entityStatements_)
        for (sqlite3_stmt* stmt : {set.read, set.insert, set.insertRows, set.update, set.remove})
            sqlite3_finalize(stmt);
    entityStatements_.clear();
    sqlite3_finalize(begin_);
    sqlite3_finalize(commit_);
    begin_ = commit_ = nullptr;
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

Error PersistentStoreCoordinator::sqliteError(const std::string& what, int rc) const {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    auto underlying = std::make_shared<const Error>(Error::withDescription(kSQLiteErrorDomain, rc, message));
    return Error(kCocoaErrorDomain, static_cast<int64_t>(CoreDataError::PersistentStoreSave),
                 Value::dictionary({{Error::kLocalizedDescriptionKey, what + ": " + message}}), underlying);
}

sqlite3_stmt* PersistentStoreCoordinator::prepare(const std::string& sql, Error* error) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &stmt, nullptr);
    if (rc != SQLITE_OK) {
        if (error) *error = sqliteError("Cannot prepare a statement", rc);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    statements_.emplace(sql, stmt);
    return stmt;
}

sqlite3_stmt* PersistentStoreCoordinator::prepareOnce(sqlite3_stmt*& slot, const std::string& sql, Error* error) {
    if (slot) return slot;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &slot,
                                nullptr);
    if (rc != SQLITE_OK) {
        if (error) *error = sqliteError("Cannot prepare a statement", rc);
        sqlite3_finalize(slot);
        slot = nullptr;
    }
    return slot;
}

PersistentStoreCoordinator::EntityStatements& PersistentStoreCoordinator::statementsFor(
    const EntityDescription& entity) {
    auto [it, added] = entityStatements_.try_emplace(&entity);
    if (added) {
        std::string cols = "t0.Z_PK, t0.Z_OPT";
        for (const auto& a : entity.attributes()) cols += ", t0." + q(a.name);
        for (const auto& r : entity.relationships())
            if (!r.toMany) cols += ", t0." + q(r.name);
        it->second.columns = std::move(cols);
    }
    return it->second;
}

bool PersistentStoreCoordinator::exec(const std::string& sql, Error* error) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc == SQLITE_OK) return true;
    if (error) *error = sqliteError("SQL failed", rc);
    return false;
}

std::optional<Error> PersistentStoreCoordinator::addPersistentStore(const std::filesystem::path& url) {
    std::lock_guard lock(mutex_);
    if (db_) return makeCoreDataError(CoreDataError::CoreData, "The coordinator already has a store");
    if (auto invalid = model_->validate()) return invalid;
    std::error_code ec;
    std::filesystem::create_directories(url.parent_path(), ec);
    SQLiteLibrary::configure();
    int rc = sqlite3_open_v2(url.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db_, kMatchesFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        matchesFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    // Every commit reaches the disk before the save returns.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Error cause = sqliteError("open", rc);
        Error error(
            kCocoaErrorDomain, static_cast<int64_t>(CoreDataError::FileReadCorrupt),
            Value::dictionary({{Error::kLocalizedDescriptionKey,
                                "The store file couldn’t be opened because it isn’t in the correct format."},
                               {"NSFilePath", url.string()}}),
            std::make_shared<const Error>(*cause.underlyingError()));
        close();
        return error;
    }
    url_ = url;
    if (auto schemaError = createSchema()) {
        close();
        return schemaError;
    }
    return std::nullopt;
}

std::vector<std::string> PersistentStoreCoordinator::indexedColumns(const EntityDescription& entity) {
    std::vector<std::string> columns;
    for (const auto& r : entity.relationships())
        if (!r.toMany) columns.push_back(r.name);
    for (const auto& a : entity.attributes())
        if (a.indexed) columns.push_back(a.name);
    return columns;
}

bool PersistentStoreCoordinator::readMetadata(const std::string& modelHash) {
    // A file without the metadata table fails to prepare: it is new, or not made by a coordinator.
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT Z_KEY, Z_VALUE FROM Z_METADATA", -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    bool current = false;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        if (sqlite3_column_type(stmt, 0) != SQLITE_TEXT || sqlite3_column_type(stmt, 1) != SQLITE_TEXT)
            continue;
        std::string_view key(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        const char* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        if (key == kStoreUUIDKey)
            storeIdentifier_ = value;
        else if (key == kModelHashKey)
            current = modelHash == value;
    }
    sqlite3_finalize(stmt);
    return current && !storeIdentifier_.empty();
}

std::optional<Error> PersistentStoreCoordinator::createSchema() {
    // A file made for this very model needs nothing: the usual launch reads one small table.
    const std::string& modelHash = model_->versionHash();
    if (readMetadata(modelHash)) return std::nullopt;
    storeIdentifier_.clear();

    Error error;
    if (!exec("BEGIN IMMEDIATE", &error)) return error;
    auto failed = [&]() -> std::optional<Error> {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    };
    // What the file holds already, read in one query: its tables with their columns, and its
    // indexes. A new file holds nothing, and every table is created whole.
    std::map<std::string, std::set<std::string>> tables;
    std::set<std::string> indexes;
    {
        sqlite3_stmt* stmt = nullptr;
        const char* sql =
            "SELECT m.type, m.name, p.name FROM sqlite_master m LEFT JOIN pragma_table_info(m.name) p "
            "WHERE m.type IN ('table', 'index')";
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK) rc = SQLITE_ROW;
        while (rc == SQLITE_ROW && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
            if (type == "index") {
                indexes.insert(std::move(name));
            } else {
                auto& columns = tables[name];
                if (sqlite3_column_type(stmt, 2) == SQLITE_TEXT)
                    columns.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
            }
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            error = sqliteError("Cannot read the schema", rc);
            return failed();
        }
    }
    bool hasMetadata = tables.count("Z_METADATA") > 0;
    std::string ddl;
    if (!hasMetadata) ddl += "CREATE TABLE Z_METADATA (Z_KEY TEXT PRIMARY KEY, Z_VALUE TEXT);";
    for (const auto& entity : model_->entities()) {
        std::string table = q(entity->name());
        auto found = tables.find(entity->name());
        if (found == tables.end()) {
            ddl += "CREATE TABLE " + table + " (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER NOT NULL DEFAULT 1";
            for (const auto& a : entity->attributes()) ddl += ", " + q(a.name) + " " + columnType(a.type);
            for (const auto& r : entity->relationships())
                if (!r.toMany) ddl += ", " + q(r.name) + " INTEGER";
            ddl += ");";
        } else {
            // A file made by an older model: the columns it lacks are added.
            const auto& existing = found->second;
            // A column the model gained with a default value gives the old rows that value.
            for (const auto& a : entity->attributes())
                if (!existing.count(a.name))
                    ddl += "ALTER TABLE " + table + " ADD COLUMN " + q(a.name) + " " + columnType(a.type) +
                           defaultClause(a) + ";";
            for (const auto& r : entity->relationships())
                if (!r.toMany && !existing.count(r.name))
                    ddl += "ALTER TABLE " + table + " ADD COLUMN " + q(r.name) + " INTEGER;";
        }
        for (const auto& column : indexedColumns(*entity)) {
            std::string name = entity->name() + "_" + column + "_INDEX";
            if (!indexes.count(name)) ddl += "CREATE INDEX " + q(name) + " ON " + table + " (" + q(column) + ");";
        }
    }
    if (!ddl.empty() && !exec(ddl, &error)) return failed();
    if (hasMetadata) {
        sqlite3_stmt* read = prepare("SELECT Z_VALUE FROM Z_METADATA WHERE Z_KEY = 'NSStoreUUID'", &error);
        if (!read) return failed();
        Reset reset{read};
        if (sqlite3_step(read) == SQLITE_ROW && sqlite3_column_type(read, 0) == SQLITE_TEXT)
            storeIdentifier_ = reinterpret_cast<const char*>(sqlite3_column_text(read, 0));
    }
    std::string metadata;
    if (storeIdentifier_.empty()) {
        storeIdentifier_ = Crypto::uuidString();
        metadata += "INSERT OR REPLACE INTO Z_METADATA VALUES ('NSStoreUUID', '" + storeIdentifier_ + "');";
    }
    metadata += std::string("INSERT OR REPLACE INTO Z_METADATA VALUES ('") + kModelHashKey + "', '" +
                modelHash + "');";
    if (!exec(metadata, &error)) return failed();
    if (!exec("COMMIT", &error)) return failed();
    return std::nullopt;
}

bool PersistentStoreCoordinator::hasStore() const {
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

std::filesystem::path PersistentStoreCoordinator::storeURL() const {
    std::lock_guard lock(mutex_);
    return url_;
}

std::string PersistentStoreCoordinator::storeIdentifier() const {
    std::lock_guard lock(mutex_);
    return storeIdentifier_;
}

int64_t PersistentStoreCoordinator::allocatePrimaryKey(const std::string& entityName) {
    std::lock_guard lock(mutex_);
    auto it = lastKeys_.find(entityName);
    if (it == lastKeys_.end()) {
        // The entity's largest key is read when it first needs one: this coordinator alone adds
        // rows to the file, and adds none without a key from here.
        int64_t last = 0;
        if (auto entity = model_->entity(entityName); entity && db_) {
            enterRead();
            if (sqlite3_stmt* max = prepare("SELECT MAX(Z_PK) FROM " + q(entity->name()), nullptr)) {
                Reset reset{max};
                if (sqlite3_step(max) == SQLITE_ROW) last = sqlite3_column_int64(max, 0);
            }
        }
        it = lastKeys_.emplace(entityName, last).first;
    }
    return ++it->second;
}

std::optional<ManagedObjectID> PersistentStoreCoordinator::managedObjectIDForURIRepresentation(
    const std::string& uri) const {
    auto id = ManagedObjectID::fromURIRepresentation(uri, storeIdentifier());
    if (!id || !model_->entity(id->entityName)) return std::nullopt;
    return id;
}

std::optional<Error> PersistentStoreCoordinator::requireStore(
    const std::shared_ptr<const EntityDescription>& entity) const {
    if (!db_) return makeCoreDataError(CoreDataError::CoreData, "This coordinator has no persistent store");
    if (!entity) return makeCoreDataError(CoreDataError::CoreData, "Unknown entity");
    return std::nullopt;
}

StoredRow PersistentStoreCoordinator::readColumns(sqlite3_stmt* stmt, const EntityDescription& entity) const {
    StoredRow row;
    row.id = ManagedObjectID{entity.name(), sqlite3_column_int64(stmt, 0)};
    row.version = sqlite3_column_int64(stmt, 1);
    int col = 2;
    row.attributes.reserve(entity.attributes().size());
    for (const auto& a : entity.attributes()) row.attributes.push_back(readValue(stmt, col++, a));
    row.toOne.resize(entity.relationships().size());
    for (size_t i = 0; i < entity.relationships().size(); ++i) {
        if (entity.relationships()[i].toMany) continue;
        if (sqlite3_column_type(stmt, col) != SQLITE_NULL) row.toOne[i] = sqlite3_column_int64(stmt, col);
        ++col;
    }
    return row;
}

bool PersistentStoreCoordinator::readRow(const ManagedObjectID& id, std::optional<StoredRow>& out,
                                         Error* error) {
    std::lock_guard lock(mutex_);
    enterRead();
    auto entity = model_->entity(id.entityName);
    if (auto missing = requireStore(entity)) {
        if (error) *error = *missing;
        return false;
    }
    EntityStatements& sql = statementsFor(*entity);
    sqlite3_stmt* stmt =
        prepareOnce(sql.read, "SELECT " + sql.columns + " FROM " + q(entity->name()) + " t0 WHERE t0.Z_PK = ?", error);
    if (!stmt) return false;
    Reset reset{stmt};
    sqlite3_bind_int64(stmt, 1, id.primaryKey);
    int rc = sqlite3_step(stmt);
    out.reset();
    if (rc == SQLITE_ROW) {
        out = readColumns(stmt, *entity);
        return true;
    }
    if (rc == SQLITE_DONE) return true;
    if (error) *error = sqliteError("Cannot read a row", rc);
    return false;
}

std::optional<std::vector<StoredRow>> PersistentStoreCoordinator::fetchRows(const FetchRequest& request,
                                                                            bool sortAndLimit, Error* error) {
    std::lock_guard lock(mutex_);
    enterRead();
    auto entity = model_->entity(request.entityName());
    if (auto missing = requireStore(entity)) {
        if (error) *error = *missing;
        return std::nullopt;
    }
    QueryBuilder builder(*model_, entity);
    std::string sql = "SELECT " + statementsFor(*entity).columns + " FROM " + q(entity->name()) + " t0";
    if (request.predicate()) {
        std::string where;
        if (!builder.predicate(*request.predicate(), where, error)) return std::nullopt;
        sql += " WHERE " + where;
    }
    std::string order;
    if (!builder.orderBy(request.sortDescriptors(), order, error)) return std::nullopt;
    if (sortAndLimit) {
        sql += order;
        if (request.fetchLimit() > 0) sql += " LIMIT " + std::to_string(request.fetchLimit());
    }
    sqlite3_stmt* stmt = prepare(sql, error);
    if (!stmt) return std::nullopt;
    Reset reset{stmt};
    for (size_t i = 0; i < builder.binds.size(); ++i)
        bindValue(stmt, static_cast<int>(i + 1), builder.binds[i]);
    std::vector<StoredRow> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) rows.push_back(readColumns(stmt, *entity));
    if (rc != SQLITE_DONE) {
        if (error) *error = sqliteError("Fetch failed", rc);
        return std::nullopt;
    }
    return rows;
}

std::optional<size_t> PersistentStoreCoordinator::countRows(const FetchRequest& request, Error* error) {
    std::lock_guard lock(mutex_);
    enterRead();
    auto entity = model_->entity(request.entityName());
    if (auto missing = requireStore(entity)) {
        if (error) *error = *missing;
        return std::nullopt;
    }
    QueryBuilder builder(*model_, entity);
    std::string sql = "SELECT COUNT(*) FROM " + q(entity->name()) + " t0";
    if (request.predicate()) {
        std::string where;
        if (!builder.predicate(*request.predicate(), where, error)) return std::nullopt;
        sql += " WHERE " + where;
    }
    sqlite3_stmt* stmt = prepare(sql, error);
    if (!stmt) return std::nullopt;
    Reset reset{stmt};
    for (size_t i = 0; i < builder.binds.size(); ++i)
        bindValue(stmt, static_cast<int>(i + 1), builder.binds[i]);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) {
        if (error) *error = sqliteError("Count failed", rc);
        return std::nullopt;
    }
    size_t count = static_cast<size_t>(sqlite3_column_int64(stmt, 0));
    if (request.fetchLimit() > 0 && count > request.fetchLimit()) count = request.fetchLimit();
    return count;
}

std::optional<std::vector<int64_t>> PersistentStoreCoordinator::relatedKeys(
    const ManagedObjectID& id, const RelationshipDescription& toMany, Error* error) {
    std::lock_guard lock(mutex_);
    enterRead();
    auto destination = model_->entity(toMany.destinationEntity);
    if (auto missing = requireStore(destination)) {
        if (error) *error = *missing;
        return std::nullopt;
    }
    sqlite3_stmt* stmt = prepare("SELECT Z_PK FROM " + q(destination->name()) + " WHERE " +
                                     q(toMany.inverseName) + " = ? ORDER BY Z_PK",
                                 error);
    if (!stmt) return std::nullopt;
    Reset reset{stmt};
    sqlite3_bind_int64(stmt, 1, id.primaryKey);
    std::vector<int64_t> keys;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(stmt, 0));
    if (rc != SQLITE_DONE) {
        if (error) *error = sqliteError("Cannot read a relationship", rc);
        return std::nullopt;
    }
    return keys;
}

bool PersistentStoreCoordinator::save(const StoreChanges& changes, Error* error) {
    // Everything that can fail without the database is checked before the transaction starts:
    // the entity of every row, the kind of every value, and the transformed form of transformable
    // values, which are the only values copied.
    struct Write {
        const EntityDescription* entity;
        const RowWrite* row;
        std::vector<std::pair<size_t, Value>> transformed;
    };
    std::shared_ptr<const EntityDescription> last;
    auto check = [&](const std::vector<RowWrite>& rows, std::vector<Write>& out) {
        out.reserve(rows.size());
        for (const auto& row : rows) {
            if (!last || last->name() != row.id.entityName) last = model_->entity(row.id.entityName);
            if (!last) {
                if (error)
                    *error = makeCoreDataError(CoreDataError::CoreData, "Unknown entity " + row.id.entityName);
                return false;
            }
            Write w{last.get(), &row, {}};
            const auto& attributes = last->attributes();
            for (size_t i = 0; i < attributes.size(); ++i) {
                const AttributeDescription& a = attributes[i];
                const Value& v = i < row.attributes->size() ? (*row.attributes)[i] : kNil;
                std::string why;
                bool fits = true;
                if (a.type == AttributeType::Transformable) {
                    if (!v.isNil()) {
                        Value stored;
                        fits = storedValue(a, v, stored, why);
                        w.transformed.emplace_back(i, std::move(stored));
                    }
                } else if (!fitsAttribute(a.type, v)) {
                    fits = false;
                    why = "value of the wrong kind";
                }
                if (!fits) {
                    if (error)
                        *error = makeCoreDataError(CoreDataError::ManagedObjectValidation,
                                                   "Cannot store " + last->name() + "." + a.name + ": " + why);
                    return false;
                }
            }
            out.push_back(std::move(w));
        }
        return true;
    };
    std::vector<Write> inserts, updates;
    if (!check(changes.inserts, inserts) || !check(changes.updates, updates)) return false;

    std::lock_guard lock(mutex_);
    if (!db_) {
        if (error)
            *error = makeCoreDataError(CoreDataError::CoreData, "This coordinator has no persistent store");
        return false;
    }
    // The write transaction takes the place of an open read transaction.
    endReadTransaction();
    auto step = [&](sqlite3_stmt* stmt, const char* what) {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW) return true;
        if (error) *error = sqliteError(what, rc);
        return false;
    };
    sqlite3_stmt* begin = prepareOnce(begin_, "BEGIN IMMEDIATE", error);
    if (!begin) return false;
    {
        Reset reset{begin};
        if (!step(begin, "Cannot begin a transaction")) return false;
    }
    auto rollback = [&] {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    };
    auto bindColumns = [](sqlite3_stmt* stmt, const Write& w, int first) {
        int index = first;
        const auto& attributes = w.entity->attributes();
        auto transformed = w.transformed.begin();
        for (size_t i = 0; i < attributes.size(); ++i, ++index) {
            if (transformed != w.transformed.end() && transformed->first == i) {
                // The transformed values live in the writes, past the bindings' clearing.
                bindValue(stmt, index, transformed->second, SQLITE_STATIC);
                ++transformed;
                continue;
            }
            const Value& v = i < w.row->attributes->size() ? (*w.row->attributes)[i] : kNil;
            bindAttribute(stmt, index, attributes[i].type, v);
        }
        const auto& relationships = w.entity->relationships();
        for (size_t i = 0; i < relationships.size(); ++i)
            if (!relationships[i].toMany)
                bindOptionalKey(stmt, index++, i < w.row->toOne->size() ? (*w.row->toOne)[i] : std::nullopt);
        return index;
    };
    Unbind unbind;
    for (const auto& id : changes.deletes) {
        auto entity = model_->entity(id.entityName);
        if (!entity) continue;
        EntityStatements& sql = statementsFor(*entity);
        sqlite3_stmt* stmt = prepareOnce(sql.remove, "DELETE FROM " + q(id.entityName) + " WHERE Z_PK = ?", error);
        if (!stmt) return rollback();
        unbind.add(stmt);
        Reset reset{stmt, false};
        sqlite3_bind_int64(stmt, 1, id.primaryKey);
        if (!step(stmt, "Cannot delete")) return rollback();
    }
    // New rows of one entity go in by the statement for many rows while a run of them lasts: the
    // work of a statement (its cursors, its end) is then shared by all its rows. The rest go in
    // one by one.
    for (size_t at = 0; at < inserts.size();) {
        const EntityDescription& entity = *inserts[at].entity;
        EntityStatements& sql = statementsFor(entity);
        size_t run = 1;
        while (at + run < inserts.size() && run < kInsertRows && inserts[at + run].entity == &entity) ++run;
        size_t columns = 1 + entity.attributes().size();
        for (const auto& r : entity.relationships()) columns += r.toMany ? 0 : 1;
        const bool many = run == kInsertRows &&
                          columns * kInsertRows <=
                              static_cast<size_t>(sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1));
        sqlite3_stmt*& slot = many ? sql.insertRows : sql.insert;
        sqlite3_stmt* stmt = slot;
        if (!stmt) {
            std::string cols = "Z_PK, Z_OPT", marks = "(?, 1";
            for (const auto& a : entity.attributes()) cols += ", " + q(a.name), marks += ", ?";
            for (const auto& r : entity.relationships())
                if (!r.toMany) cols += ", " + q(r.name), marks += ", ?";
            marks += ")";
            std::string values = marks;
            for (size_t r = 1; many && r < kInsertRows; ++r) values.append(", ").append(marks);
            // A statement of many rows that fails undoes nothing by itself ("OR FAIL"): the whole
            // transaction is rolled back then. Otherwise SQLite keeps a journal of every page the
            // statement changes, to undo its earlier rows, and writes it to a temporary file once
            // it outgrows memory, as it does for every statement once the file is large (new ids
            // land on pages all over their index).
            stmt = prepareOnce(slot,
                               std::string(many ? "INSERT OR FAIL INTO " : "INSERT INTO ") + q(entity.name()) +
                                   " (" + cols + ") VALUES " + values,
                               error);
            if (!stmt) return rollback();
        }
        unbind.add(stmt);
        Reset reset{stmt, false};
        int index = 1;
        for (size_t r = 0; r < (many ? kInsertRows : 1); ++r) {
            const Write& w = inserts[at + r];
            sqlite3_bind_int64(stmt, index, w.row->id.primaryKey);
            index = bindColumns(stmt, w, index + 1);
        }
        if (!step(stmt, "Cannot insert")) return rollback();
        at += many ? kInsertRows : 1;
    }
    for (const auto& w : updates) {
        EntityStatements& sql = statementsFor(*w.entity);
        sqlite3_stmt* stmt = sql.update;
        if (!stmt) {
            std::string sets = "Z_OPT = Z_OPT + 1";
            for (const auto& a : w.entity->attributes()) sets += ", " + q(a.name) + " = ?";
            for (const auto& r : w.entity->relationships())
                if (!r.toMany) sets += ", " + q(r.name) + " = ?";
            stmt = prepareOnce(sql.update,
                               "UPDATE " + q(w.entity->name()) + " SET " + sets + " WHERE Z_PK = ? AND Z_OPT = ?",
                               error);
            if (!stmt) return rollback();
        }
        unbind.add(stmt);
        Reset reset{stmt, false};
        int index = bindColumns(stmt, w, 1);
        sqlite3_bind_int64(stmt, index, w.row->id.primaryKey);
        sqlite3_bind_int64(stmt, index + 1, w.row->version);
        if (!step(stmt, "Cannot update")) return rollback();
        if (sqlite3_changes(db_) == 0) {
            if (error)
                *error = makeCoreDataError(CoreDataError::MergeConflict,
                                           "Could not merge changes: " + w.entity->name() + " p" +
                                               std::to_string(w.row->id.primaryKey) +
                                               " was changed or deleted in the store since it was read");
            return rollback();
        }
    }
    sqlite3_stmt* commit = prepareOnce(commit_, "COMMIT", error);
    if (!commit) return rollback();
    Reset reset{commit};
    if (!step(commit, "Cannot commit")) return rollback();
    return true;
}

}  // namespace brindlecue::platform
