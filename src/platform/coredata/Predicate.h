#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/coredata/ManagedObjectID.h"

namespace brindlecue::platform {

class ManagedObject;
class Predicate;
using PredicatePtr = std::shared_ptr<const Predicate>;

// What a key path leads to on one object, for evaluating a predicate in memory.
struct KeyPathValue {
    bool isRelationship = false;
    Value value;                            // an attribute's value (absent for nil)
    std::optional<ManagedObjectID> object;  // a to-one relationship's object (none for nil)
};

// A fetch predicate, built from typed parts rather than parsed from text. Key paths may walk
// to-one relationships ("install.appKey"). The forms:
//   equal(k, v)        "k == v"     (v text, number, Boolean or date; absent/null: "k == nil")
//   equal(k, object)   "k == %@"    for a to-one relationship and a managed object
//   notEqual(k, v)     "k != v"     (absent/null: "k != nil")
//   contains(k, s)     "k CONTAINS s"  case-sensitive; nil text or an empty s never matches
//   matches(k, p)      "k MATCHES p"   ICU regular expression matched against the whole text
//   andPredicate(...)  "a && b && ..."
class Predicate {
public:
    enum class Kind { Equal, NotEqual, Contains, Matches, And };

    static PredicatePtr equal(std::string keyPath, Value value);
    static PredicatePtr equal(std::string keyPath, const std::shared_ptr<ManagedObject>& object);
    static PredicatePtr notEqual(std::string keyPath, Value value);
    static PredicatePtr isNil(std::string keyPath) { return equal(std::move(keyPath), Value()); }
    static PredicatePtr isNotNil(std::string keyPath) { return notEqual(std::move(keyPath), Value()); }
    static PredicatePtr contains(std::string keyPath, std::string text);
    static PredicatePtr matches(std::string keyPath, std::string pattern);
    static PredicatePtr andPredicate(std::vector<PredicatePtr> subpredicates);

    Kind kind() const { return kind_; }
    const std::string& keyPath() const { return keyPath_; }
    // The argument (text for Contains and Matches); absent for "nil" and for object arguments.
    const Value& value() const { return value_; }
    // Set when the argument is a managed object.
    const std::optional<ManagedObjectID>& objectID() const { return objectID_; }
    const std::vector<PredicatePtr>& subpredicates() const { return subpredicates_; }

    // Evaluates the predicate on one object whose key paths the resolver reads. Gives the same
    // answers as the store's query for the same values; the store has already refused arguments
    // that do not fit their keys.
    bool evaluate(const std::function<KeyPathValue(const std::string& keyPath)>& resolve) const;

    // The predicate in the platform's format syntax, for log lines.
    std::string predicateFormat() const;

private:
    Predicate(Kind kind, std::string keyPath, Value value)
        : kind_(kind), keyPath_(std::move(keyPath)), value_(std::move(value)) {}
    Kind kind_;
    std::string keyPath_;
    Value value_;
    std::optional<ManagedObjectID> objectID_;
    std::vector<PredicatePtr> subpredicates_;
};

}  // namespace brindlecue::platform
