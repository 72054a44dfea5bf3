#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "feed/FourSide.h"
#include "feed/KJStoredForm.h"
#include "platform/Color.h"
#include "platform/Value.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue {

class KJTipBaseElement;
struct KJStoredPlan;

// What the reflective pass knows of a property's type. The type names are those the platform's
// property listing gives ("NSString", "int", "NSTextAlignment", ...).
enum class KJPropertyKind {
    Text,       // "NSString": std::optional<std::string>
    Int,        // "int": int32_t
    Integer64,  // "NSTextAlignment": any 64-bit signed integer, int64_t
    Double,     // "double": double
    Bool,       // "bool": bool
    Color,      // "UIColor": std::optional<platform::Color>
    FourSide,   // "FourSide": FourSide
    Other,      // lists, dictionaries, nested records, platform objects, rectangles: never converted
};

template <class T>
using KJFieldAccess = std::function<T&(KJTipBaseElement&)>;

// One declared property of a record class: its name (also its key in the stored form), its kind
// and type name, and an accessor to the field of a record (none for the kinds never converted).
struct KJProperty {
    std::string name;
    KJPropertyKind kind = KJPropertyKind::Other;
    std::string typeName;
    std::variant<std::monostate, KJFieldAccess<std::optional<std::string>>, KJFieldAccess<int32_t>,
                 KJFieldAccess<int64_t>, KJFieldAccess<double>, KJFieldAccess<bool>,
                 KJFieldAccess<std::optional<platform::Color>>, KJFieldAccess<FourSide>>
        access;
    // The stored keys of a FourSide's sides ("<name>.top", ".left", ".right", ".bottom"), made
    // once by the class rather than at every conversion.
    std::vector<std::string> sideKeys = {};
    // The keys of the stored form: the name's, or the sides' in the order above (set by the class).
    const KJStoredKey* key = nullptr;
    std::vector<const KJStoredKey*> storedSideKeys = {};
};

// A record class: its name, its superclass and the properties it declares itself, in declaration
// order. Every record class has one, made once (KJOverlay::elementClass()); it is also entered in
// the platform's class registry so that isKindOfClass works by name.
class KJElementClass {
public:
    using Factory = std::function<std::shared_ptr<KJTipBaseElement>(const platform::Value&)>;
    // The two class operations of a record class that other subsystems own.
    struct Factories {
        Factory createFromFeed;
        Factory deserializeFromDictionary;
    };

    KJElementClass(std::string name, const KJElementClass* superclass, std::vector<KJProperty> properties);
    KJElementClass(const KJElementClass&) = delete;
    KJElementClass& operator=(const KJElementClass&) = delete;
    ~KJElementClass();

    const std::string& name() const { return name_; }
    const KJElementClass* superclass() const { return superclass_; }
    const std::vector<KJProperty>& properties() const { return properties_; }
    // Whether the stored keys of the properties (names, and the sides' keys) all differ.
    bool storedKeysDistinct() const { return storedKeysDistinct_; }
    // Whether a property writes the key.
    bool writesKey(std::string_view key) const;
    bool writesKey(const KJStoredKey& key) const {
        return key.id() < writes_.size() && writes_[key.id()];
    }
    const KJProperty* property(std::string_view name) const;
    // This class or one of its subclasses.
    bool isSubclassOf(const KJElementClass& ancestor) const;
    // The properties a stored form of a record of the class writes, less the excluded ones,
    // resolved once for each exclusion list (by its names); the record shows where the fields lie.
    const KJStoredPlan& storedPlan(const std::vector<std::string_view>& exclude, const KJTipBaseElement& record) const;

    // Record classes of other subsystems that the campaign model holds (a step's target, images and
    // close button) are reached by name: their subsystem registers its factories at start-up.
    // Registering a name again replaces its factories; registering empty factories removes it.
    static void registerFactories(const std::string& className, Factories factories);
    static std::optional<Factories> factories(std::string_view className);
    // The class's createFromFeed / deserializeFromDictionary; null when the class is not registered
    // or refuses the object.
    static std::shared_ptr<KJTipBaseElement> createFromFeed(std::string_view className,
                                                            const platform::Value& object);
    static std::shared_ptr<KJTipBaseElement> deserializeFromDictionary(std::string_view className,
                                                                       const platform::Value& stored);

private:
    std::string name_;
    const KJElementClass* superclass_;
    std::vector<KJProperty> properties_;
    bool storedKeysDistinct_ = true;
    std::set<std::string, std::less<>> storedKeys_;
    // By the number of a stored key: whether a property writes it.
    std::vector<bool> writes_;
    // The stored plans made so far, newest first; never removed, so that a plan found stays.
    mutable std::atomic<const KJStoredPlan*> plans_{nullptr};
};

// Builds the property table of record class R from its fields.
template <class R>
class KJPropertyTable {
public:
    KJPropertyTable& text(std::string name, std::optional<std::string> R::*field) {
        return add(std::move(name), KJPropertyKind::Text, "NSString", field);
    }
    KJPropertyTable& int32(std::string name, int32_t R::*field) {
        return add(std::move(name), KJPropertyKind::Int, "int", field);
    }
    KJPropertyTable& integer(std::string name, int64_t R::*field) {
        return add(std::move(name), KJPropertyKind::Integer64, "NSTextAlignment", field);
    }
    KJPropertyTable& real(std::string name, double R::*field) {
        return add(std::move(name), KJPropertyKind::Double, "double", field);
    }
    KJPropertyTable& boolean(std::string name, bool R::*field) {
        return add(std::move(name), KJPropertyKind::Bool, "bool", field);
    }
    KJPropertyTable& color(std::string name, std::optional<platform::Color> R::*field) {
        return add(std::move(name), KJPropertyKind::Color, "UIColor", field);
    }
    KJPropertyTable& fourSide(std::string name, FourSide R::*field) {
        return add(std::move(name), KJPropertyKind::FourSide, "FourSide", field);
    }
    // A property the reflective pass leaves alone; the type name is the class name of an object
    // type ("NSArray", "KJTipTextElement") or empty for other value types.
    KJPropertyTable& other(std::string name, std::string typeName) {
        properties_.push_back({std::move(name), KJPropertyKind::Other, std::move(typeName), {}});
        return *this;
    }

    std::vector<KJProperty> build() { return std::move(properties_); }

private:
    template <class T>
    KJPropertyTable& add(std::string name, KJPropertyKind kind, const char* typeName, T R::*field) {
        KJFieldAccess<T> access = [field](KJTipBaseElement& record) -> T& {
            return static_cast<R&>(record).*field;
        };
        properties_.push_back({std::move(name), kind, typeName, std::move(access)});
        return *this;
    }

    std::vector<KJProperty> properties_;
};

// How records compare their numbers: in single precision, to within 0.01. A number equals itself,
// infinities and NaN included (a document may give any number).
bool kjNearlyEqual(double a, double b);

// The base of every record of the campaign model. The contract of a record class is four
// operations: createFromFeed (class operation; one object of the campaign document),
// serializeToDictionary (the stored form, keyed by property name), deserializeFromDictionary
// (class operation; the stored form back) and isEqual. The base does the conversions reflectively
// over the concrete class's property table; a subclass writes, reads and compares its nested
// records itself and names the properties the pass must leave alone.
//
// A class gives its stored form once, as entries (storedForm: its nested records and keys of its
// own, then storedProperties); serializeToDictionary makes the dictionary of them, and
// writeStoredForm the property list that dictionary writes as, without making it.
class KJTipBaseElement : public platform::NSObject {
public:
    using Exclusions = std::vector<std::string_view>;

    static const KJElementClass& elementClass();
    virtual const KJElementClass& recordClass() const { return elementClass(); }
    std::string className() const override { return recordClass().name(); }

    // The base builds nothing: none, absent, none and false.
    static std::shared_ptr<KJTipBaseElement> createFromFeed(const platform::Value& object);
    // The dictionary of storedForm; absent when the class gives none.
    platform::Value serializeToDictionary() const;
    static std::shared_ptr<KJTipBaseElement> deserializeFromDictionary(const platform::Value& stored);
    virtual bool isEqual(const platform::NSObject* other) const;

    // The entries of the record's stored form, in order; false (the base's) when the class gives
    // none.
    virtual bool storedForm(KJStoredForm& out) const;
    // The stored form written on its own as a property list: the objects bplist::writeOnItsOwn
    // gives for serializeToDictionary(), made without the dictionary. Null when a property list
    // cannot hold the form.
    std::shared_ptr<const platform::bplist::WrittenValue> writeStoredForm() const;

    // Writes every convertible property that is not excluded: texts (absent as ""), numbers,
    // booleans, colours as "#AARRGGBB" (absent as ""), four-sided values under "name.top",
    // "name.left", "name.right" and "name.bottom". A key the dictionary holds already keeps its
    // place and takes the property's value.
    void serializeToDictionaryWithExcludeProperties(platform::Dictionary& out,
                                                    const Exclusions& exclude = {}) const;
    // An exclusion list a class gives storedProperties for every record it writes: what the list
    // resolves to for the record's class is kept, so that a record is written without the names
    // being looked up again. Made once (a static of the class's storedForm).
    class StoredExclusions {
    public:
        explicit StoredExclusions(Exclusions names) : names_(std::move(names)) {}
        StoredExclusions(const StoredExclusions&) = delete;
        StoredExclusions& operator=(const StoredExclusions&) = delete;
        const Exclusions& names() const { return names_; }

    private:
        friend class KJTipBaseElement;
        Exclusions names_;
        mutable std::atomic<const KJStoredPlan*> last_{nullptr};
    };

    // The same as entries of a stored form.
    void storedProperties(KJStoredForm& out, const Exclusions& exclude = {}) const;
    void storedProperties(KJStoredForm& out, const StoredExclusions& exclude) const;
    // Sets every convertible property that is not excluded from the stored form. A key the
    // dictionary lacks reads as absent: no text, 0, false, no colour. False, and nothing changed,
    // when the argument is not a dictionary.
    bool deserializeFromDictionaryWithExcludeProperties(const platform::Value& stored,
                                                        const Exclusions& exclude = {});
    // The other object must be of the receiver's class or a subclass; then texts must be equal
    // (absent as ""), integers and booleans equal, reals within 0.01 in single precision, colours
    // equal as hexadecimal text, and four-sided values within 0.01 on each side.
    bool isEqualWithExcludeProperties(const platform::NSObject* other, const Exclusions& exclude = {}) const;

    // Key-value lookup of the convertible properties (colours as their hexadecimal text).
    platform::Value valueForKey(std::string_view key) const override;

private:
    // The plan's properties of this record as entries.
    void writeStoredFields(KJStoredForm& out, const KJStoredPlan& plan) const;

protected:
    // A fresh record read from the stored form (unchanged when that is not a dictionary).
    template <class R>
    static std::shared_ptr<R> deserializeProperties(const platform::Value& stored,
                                                    const Exclusions& exclude = {}) {
        auto record = std::make_shared<R>();
        record->deserializeFromDictionaryWithExcludeProperties(stored, exclude);
        return record;
    }

    // Absent on both sides is equal, on one side only unequal; otherwise the records decide.
    static bool nestedEqual(const std::shared_ptr<const KJTipBaseElement>& a,
                            const std::shared_ptr<const KJTipBaseElement>& b);
    // Same length, and every record of the first equal to some record of the second. An absent list
    // counts as an empty one.
    template <class T>
    static bool nestedListsMatch(const std::optional<std::vector<std::shared_ptr<T>>>& first,
                                 const std::optional<std::vector<std::shared_ptr<T>>>& second) {
        const std::vector<std::shared_ptr<T>> none;
        const auto* a = first ? &*first : &none;
        const auto* b = second ? &*second : &none;
        if (a->size() != b->size()) return false;
        for (const auto& mine : *a) {
            bool found = false;
            for (const auto& theirs : *b) {
                if (nestedEqual(mine, theirs)) {
                    found = true;
                    break;
                }
            }
            if (!found) return false;
        }
        return true;
    }
};

// Declares the contract of a record class inside its body.
#define KJ_TIP_ELEMENT(Name)                                                               \
    static const KJElementClass& elementClass();                                           \
    const KJElementClass& recordClass() const override {                                   \
        return elementClass();                                                             \
    }                                                                                      \
    static std::shared_ptr<Name> createFromFeed(const platform::Value& object);            \
    bool storedForm(KJStoredForm& out) const override;                                     \
    static std::shared_ptr<Name> deserializeFromDictionary(const platform::Value& stored); \
    bool isEqual(const platform::NSObject* other) const override;

}  // namespace brindlecue
