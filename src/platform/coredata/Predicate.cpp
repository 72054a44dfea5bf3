#include "platform/coredata/Predicate.h"

#include <utility>

#include "platform/coredata/ManagedObject.h"
#include "platform/coredata/RegularExpression.h"

namespace brindlecue::platform {

namespace {

Value normalised(Value v) {
    return v.isNull() ? Value() : v;
}

std::string quoted(const Value& v) {
    if (v.isAbsent()) return "nil";
    if (const std::string* s = v.getString()) return "\"" + *s + "\"";
    return v.description();
}

}  // namespace

PredicatePtr Predicate::equal(std::string keyPath, Value value) {
    return PredicatePtr(new Predicate(Kind::Equal, std::move(keyPath), normalised(std::move(value))));
}

PredicatePtr Predicate::equal(std::string keyPath, const std::shared_ptr<ManagedObject>& object) {
    auto p = std::shared_ptr<Predicate>(new Predicate(Kind::Equal, std::move(keyPath), Value()));
    if (object) p->objectID_ = object->objectID();
    return p;
}

PredicatePtr Predicate::notEqual(std::string keyPath, Value value) {
    return PredicatePtr(new Predicate(Kind::NotEqual, std::move(keyPath), normalised(std::move(value))));
}

PredicatePtr Predicate::contains(std::string keyPath, std::string text) {
    return PredicatePtr(new Predicate(Kind::Contains, std::move(keyPath), Value(std::move(text))));
}

PredicatePtr Predicate::matches(std::string keyPath, std::string pattern) {
    return PredicatePtr(new Predicate(Kind::Matches, std::move(keyPath), Value(std::move(pattern))));
}

PredicatePtr Predicate::andPredicate(std::vector<PredicatePtr> subpredicates) {
    auto p = std::shared_ptr<Predicate>(new Predicate(Kind::And, "", Value()));
    for (auto& s : subpredicates)
        if (s) p->subpredicates_.push_back(std::move(s));
    return p;
}

std::string Predicate::predicateFormat() const {
    switch (kind_) {
        case Kind::Equal:
        case Kind::NotEqual: {
            std::string op = kind_ == Kind::Equal ? " == " : " != ";
            if (objectID_)
                return keyPath_ + op + objectID_->entityName + "/p" + std::to_string(objectID_->primaryKey);
            return keyPath_ + op + quoted(value_);
        }
        case Kind::Contains:
            return keyPath_ + " CONTAINS " + quoted(value_);
        case Kind::Matches:
            return keyPath_ + " MATCHES " + quoted(value_);
        case Kind::And: {
            if (subpredicates_.empty()) return "TRUEPREDICATE";
            std::string out;
            for (const auto& s : subpredicates_) {
                if (!out.empty()) out += " AND ";
                out += s->predicateFormat();
            }
            return out;
        }
    }
    return "";
}

}  // namespace brindlecue::platform

namespace brindlecue::platform {

namespace {

bool integral(const Value& v) {
    return v.isBool() || v.isInteger();
}

bool valuesEqual(const Value& a, const Value& b) {
    if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
    if (a.isString() && b.isString()) return *a.getString() == *b.getString();
    if (a.isDate() && b.isDate()) return *a.getDate() == *b.getDate();
    if (a.isData() && b.isData()) return *a.getData() == *b.getData();
    if (a.isNumber() && b.isNumber()) {
        if (integral(a) && integral(b)) return a.integerValue() == b.integerValue();
        return a.doubleValue() == b.doubleValue();
    }
    return false;
}

}  // namespace

bool Predicate::evaluate(const std::function<KeyPathValue(const std::string& keyPath)>& resolve) const {
    switch (kind_) {
        case Kind::And:
            for (const auto& s : subpredicates_)
                if (!s->evaluate(resolve)) return false;
            return true;
        case Kind::Equal:
        case Kind::NotEqual: {
            KeyPathValue v = resolve(keyPath_);
            bool equal =
                v.isRelationship ? v.object == objectID_ : (!objectID_ && valuesEqual(v.value, value_));
            return kind_ == Kind::Equal ? equal : !equal;
        }
        case Kind::Contains: {
            KeyPathValue v = resolve(keyPath_);
            const std::string* text = v.value.getString();
            const std::string& needle = *value_.getString();
            return text != nullptr && !needle.empty() && text->find(needle) != std::string::npos;
        }
        case Kind::Matches: {
            KeyPathValue v = resolve(keyPath_);
            const std::string* text = v.value.getString();
            auto regex = RegularExpression::cached(*value_.getString());
            return text != nullptr && regex && regex->matchesWhole(*text);
        }
    }
    return false;
}

}  // namespace brindlecue::platform
