#include "feed/KJTipBaseElement.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "feed/KJDocumentReader.h"
#include "foundation/UIColorKJExt.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using platform::Value;

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

using FactoryMap = std::map<std::string, KJElementClass::Factories, std::less<>>;

// Registrations (at start-up, as a rule) replace the map whole; look-ups, many per campaign decoded
// on several workers at once, read a thread's own copy of the pointer to it and take no lock
// unless the map changed since.
struct FactoryRegistry {
    std::mutex mutex;
    std::shared_ptr<const FactoryMap> byName = std::make_shared<FactoryMap>();
    std::atomic<uint64_t> version{1};
};

FactoryRegistry& factoryRegistry() {
    static auto* registry = new FactoryRegistry();
    return *registry;
}

// The map as this thread read it last. A factory's own look-ups (nested records) keep the map the
// call that runs it found, so that it stays alive under that call.
struct FactoryView {
    std::shared_ptr<const FactoryMap> byName;
    uint64_t version = 0;
    int calls = 0;
};
thread_local FactoryView tFactoryView;

const KJElementClass::Factories* findFactories(std::string_view className) {
    FactoryView& view = tFactoryView;
    FactoryRegistry& registry = factoryRegistry();
    if (view.calls == 0 && registry.version.load(std::memory_order_acquire) != view.version) {
        std::lock_guard lock(registry.mutex);
        view.byName = registry.byName;
        view.version = registry.version.load(std::memory_order_relaxed);
    }
    auto it = view.byName->find(className);
    return it == view.byName->end() ? nullptr : &it->second;
}

struct FactoryCall {
    FactoryCall() { ++tFactoryView.calls; }
    ~FactoryCall() { --tFactoryView.calls; }
    FactoryCall(const FactoryCall&) = delete;
    FactoryCall& operator=(const FactoryCall&) = delete;
};

bool excluded(const KJTipBaseElement::Exclusions& exclude, std::string_view name) {
    return std::find(exclude.begin(), exclude.end(), name) != exclude.end();
}

std::string sideKey(const std::string& name, const char* side) {
    return name + "." + side;
}

std::string colorText(const std::optional<platform::Color>& color) {
    return UIColorKJExt::blqHexStringFromColor(color).value_or("");
}

}  // namespace

// The convertible properties a class's records write in their stored form with one exclusion
// list, in declaration order, as the entries they make (a four-sided value's sides one by one),
// each with the place of its field in a record: writing a record then reads the fields where they
// lie, without a call through each property's accessor, and looks no excluded name up. The place
// is the field's distance from the record's KJTipBaseElement, which is the same in every record of
// the class (the accessors cast without virtual bases, so the base lies at a fixed place in it).
struct KJStoredPlan {
    struct Field {
        KJPropertyKind kind;  // never FourSide: its sides are Double fields
        uint32_t offset;
        const KJStoredKey* key;
        uint32_t keyId;  // key->id()
    };
    const KJElementClass* cls;
    std::vector<std::string> exclude;
    std::vector<Field> fields;
    // The bytes the fields lie in, from the record's KJTipBaseElement.
    uint32_t begin = 0, end = 0;
    const KJStoredPlan* next = nullptr;
};

namespace {

std::mutex& planMutex() {
    static auto* mutex = new std::mutex();
    return *mutex;
}

// The plan of the class's properties less the excluded ones, the fields found in the record.
KJStoredPlan* makePlan(const KJElementClass& cls, const KJTipBaseElement::Exclusions& exclude,
                       const KJTipBaseElement& record) {
    auto* plan = new KJStoredPlan{&cls, std::vector<std::string>(exclude.begin(), exclude.end()), {}};
    auto& self = const_cast<KJTipBaseElement&>(record);
    const auto* base = reinterpret_cast<const char*>(&record);
    const auto add = [&](KJPropertyKind kind, const void* at, size_t size, const KJStoredKey* key) {
        const auto offset = static_cast<uint32_t>(reinterpret_cast<const char*>(at) - base);
        plan->begin = plan->fields.empty() ? offset : std::min(plan->begin, offset);
        plan->end = std::max(plan->end, offset + static_cast<uint32_t>(size));
        plan->fields.push_back({kind, offset, key, key->id()});
    };
    for (const KJProperty& p : cls.properties()) {
        if (p.kind == KJPropertyKind::Other || excluded(exclude, p.name)) continue;
        // The kind is that of the field the accessor reads.
        std::visit(Overloaded{
                       [](const std::monostate&) {},
                       [&](const KJFieldAccess<std::optional<std::string>>& f) {
                           add(KJPropertyKind::Text, &f(self), sizeof(std::optional<std::string>), p.key);
                       },
                       [&](const KJFieldAccess<int32_t>& f) {
                           add(KJPropertyKind::Int, &f(self), sizeof(int32_t), p.key);
                       },
                       [&](const KJFieldAccess<int64_t>& f) {
                           add(KJPropertyKind::Integer64, &f(self), sizeof(int64_t), p.key);
                       },
                       [&](const KJFieldAccess<double>& f) {
                           add(KJPropertyKind::Double, &f(self), sizeof(double), p.key);
                       },
                       [&](const KJFieldAccess<bool>& f) { add(KJPropertyKind::Bool, &f(self), sizeof(bool), p.key); },
                       [&](const KJFieldAccess<std::optional<platform::Color>>& f) {
                           add(KJPropertyKind::Color, &f(self), sizeof(std::optional<platform::Color>), p.key);
                       },
                       [&](const KJFieldAccess<FourSide>& f) {
                           // Stored as top, left, right, bottom.
                           FourSide& side = f(self);
                           add(KJPropertyKind::Double, &side.top, sizeof(double), p.storedSideKeys[0]);
                           add(KJPropertyKind::Double, &side.left, sizeof(double), p.storedSideKeys[1]);
                           add(KJPropertyKind::Double, &side.right, sizeof(double), p.storedSideKeys[2]);
                           add(KJPropertyKind::Double, &side.bottom, sizeof(double), p.storedSideKeys[3]);
                       },
                   },
                   p.access);
    }
    return plan;
}

template <class T>
const T& fieldAt(const char* base, const KJStoredPlan::Field& field) {
    return *reinterpret_cast<const T*>(base + field.offset);
}

}  // namespace

bool kjNearlyEqual(double a, double b) {
    const float x = static_cast<float>(a), y = static_cast<float>(b);
    return x == y || (std::isnan(x) && std::isnan(y)) || std::fabs(x - y) < 0.01f;
}

// ---- KJElementClass ------------------------------------------------------------------------------

KJElementClass::KJElementClass(std::string name, const KJElementClass* superclass,
                               std::vector<KJProperty> properties)
    : name_(std::move(name)), superclass_(superclass), properties_(std::move(properties)) {
    std::set<std::string, std::less<>>& keys = storedKeys_;
    for (KJProperty& p : properties_) {
        if (p.kind == KJPropertyKind::FourSide) {
            p.sideKeys = {sideKey(p.name, "top"), sideKey(p.name, "left"), sideKey(p.name, "right"),
                          sideKey(p.name, "bottom")};
            for (const std::string& key : p.sideKeys) {
                storedKeysDistinct_ &= keys.insert(key).second;
                p.storedSideKeys.push_back(&KJStoredKey::named(key));
            }
        } else if (p.kind != KJPropertyKind::Other) {
            storedKeysDistinct_ &= keys.insert(p.name).second;
            p.key = &KJStoredKey::named(p.name);
        }
    }
    for (const KJProperty& p : properties_) {
        std::vector<const KJStoredKey*> written = p.storedSideKeys;
        if (p.key) written.push_back(p.key);
        for (const KJStoredKey* key : written) {
            if (key->id() >= writes_.size()) writes_.resize(key->id() + 1, false);
            writes_[key->id()] = true;
        }
    }
    platform::ClassRegistry::registerClass(name_, superclass_ ? superclass_->name() : "NSObject");
}

KJElementClass::~KJElementClass() {
    for (const KJStoredPlan* plan = plans_.load(); plan;) delete std::exchange(plan, plan->next);
}

const KJStoredPlan& KJElementClass::storedPlan(const std::vector<std::string_view>& exclude,
                                               const KJTipBaseElement& record) const {
    const auto same = [&](const KJStoredPlan* plan) {
        return std::equal(plan->exclude.begin(), plan->exclude.end(), exclude.begin(), exclude.end());
    };
    for (const KJStoredPlan* plan = plans_.load(std::memory_order_acquire); plan; plan = plan->next)
        if (same(plan)) return *plan;
    std::lock_guard lock(planMutex());
    // Another thread may have made it meanwhile.
    for (const KJStoredPlan* plan = plans_.load(std::memory_order_acquire); plan; plan = plan->next)
        if (same(plan)) return *plan;
    KJStoredPlan* plan = makePlan(*this, exclude, record);
    plan->next = plans_.load(std::memory_order_relaxed);
    plans_.store(plan, std::memory_order_release);
    return *plan;
}

bool KJElementClass::writesKey(std::string_view key) const {
    return storedKeys_.find(key) != storedKeys_.end();
}

const KJProperty* KJElementClass::property(std::string_view name) const {
    for (const KJProperty& p : properties_) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

bool KJElementClass::isSubclassOf(const KJElementClass& ancestor) const {
    for (const KJElementClass* c = this; c; c = c->superclass_) {
        if (c == &ancestor) return true;
    }
    return false;
}

void KJElementClass::registerFactories(const std::string& className, Factories factories) {
    auto& registry = factoryRegistry();
    std::lock_guard lock(registry.mutex);
    auto byName = std::make_shared<FactoryMap>(*registry.byName);
    if (!factories.createFromFeed && !factories.deserializeFromDictionary)
        byName->erase(className);
    else
        (*byName)[className] = std::move(factories);
    registry.byName = std::move(byName);
    registry.version.fetch_add(1, std::memory_order_release);
}

std::optional<KJElementClass::Factories> KJElementClass::factories(std::string_view className) {
    const Factories* f = findFactories(className);
    if (f == nullptr) return std::nullopt;
    return *f;
}

std::shared_ptr<KJTipBaseElement> KJElementClass::createFromFeed(std::string_view className,
                                                                 const Value& object) {
    const Factories* f = findFactories(className);
    if (f == nullptr || !f->createFromFeed) return nullptr;
    FactoryCall call;
    return f->createFromFeed(object);
}

std::shared_ptr<KJTipBaseElement> KJElementClass::deserializeFromDictionary(std::string_view className,
                                                                            const Value& stored) {
    const Factories* f = findFactories(className);
    if (f == nullptr || !f->deserializeFromDictionary) return nullptr;
    FactoryCall call;
    return f->deserializeFromDictionary(stored);
}

// ---- KJTipBaseElement ----------------------------------------------------------------------------

const KJElementClass& KJTipBaseElement::elementClass() {
    static const KJElementClass cls("KJTipBaseElement", nullptr, {});
    return cls;
}

std::shared_ptr<KJTipBaseElement> KJTipBaseElement::createFromFeed(const Value&) {
    return nullptr;
}

Value KJTipBaseElement::serializeToDictionary() const {
    return KJStoredForm::dictionaryOf(*this);
}

bool KJTipBaseElement::storedForm(KJStoredForm&) const {
    return false;
}

std::shared_ptr<const platform::bplist::WrittenValue> KJTipBaseElement::writeStoredForm() const {
    return KJStoredForm::writeOnItsOwn(*this);
}

std::shared_ptr<KJTipBaseElement> KJTipBaseElement::deserializeFromDictionary(const Value&) {
    return nullptr;
}

bool KJTipBaseElement::isEqual(const platform::NSObject*) const {
    return false;
}

void KJTipBaseElement::serializeToDictionaryWithExcludeProperties(platform::Dictionary& out,
                                                                  const Exclusions& exclude) const {
    KJStoredForm form;
    storedProperties(form, exclude);
    form.addTo(out);
}

void KJTipBaseElement::storedProperties(KJStoredForm& out, const Exclusions& exclude) const {
    writeStoredFields(out, recordClass().storedPlan(exclude, *this));
}

void KJTipBaseElement::storedProperties(KJStoredForm& out, const StoredExclusions& exclude) const {
    const KJElementClass& cls = recordClass();
    // The plan of the class met last, which is this one but for a record of another class.
    const KJStoredPlan* plan = exclude.last_.load(std::memory_order_acquire);
    if (plan == nullptr || plan->cls != &cls) {
        plan = &cls.storedPlan(exclude.names(), *this);
        exclude.last_.store(plan, std::memory_order_release);
    }
    writeStoredFields(out, *plan);
}

void KJTipBaseElement::writeStoredFields(KJStoredForm& out, const KJStoredPlan& plan) const {
    using Kind = KJStoredForm::Kind;
    const KJElementClass& cls = *plan.cls;
    const auto* base = reinterpret_cast<const char*>(this);
    // The records lie apart in memory, and reading them waits on it more than anything else: every
    // line of the fields is asked for at once, so that they come in together rather than one after
    // another as the walk reaches them.
    for (uint32_t at = plan.begin; at < plan.end; at += 64) __builtin_prefetch(base + at);
    // A key given already that a property writes takes the property's value in its place; a class
    // of which no two properties write one key, whose keys were not given before, just adds them.
    bool collide = !cls.storedKeysDistinct();
    for (const KJStoredForm::Entry& entry : out.entries()) collide = collide || cls.writesKey(*entry.key);
    if (collide) {
        KJStoredForm::Adding checked(out, false);
        for (const KJStoredPlan::Field& field : plan.fields) {
            switch (field.kind) {
                case KJPropertyKind::Text: {
                    const auto& text = fieldAt<std::optional<std::string>>(base, field);
                    out.text(*field.key, text ? std::string_view(*text) : std::string_view());
                    break;
                }
                case KJPropertyKind::Int:
                    out.integer(*field.key, fieldAt<int32_t>(base, field));
                    break;
                case KJPropertyKind::Integer64:
                    out.integer(*field.key, fieldAt<int64_t>(base, field));
                    break;
                case KJPropertyKind::Double:
                    out.real(*field.key, fieldAt<double>(base, field));
                    break;
                case KJPropertyKind::Bool:
                    out.boolean(*field.key, fieldAt<bool>(base, field));
                    break;
                case KJPropertyKind::Color:
                    out.colour(*field.key, fieldAt<std::optional<platform::Color>>(base, field));
                    break;
                case KJPropertyKind::FourSide:
                case KJPropertyKind::Other:
                    break;
            }
        }
        return;
    }
    // Each key is new: the entries are filled in place.
    KJStoredForm::Entry* entry = out.extend(plan.fields.size());
    for (const KJStoredPlan::Field& field : plan.fields) {
        entry->key = field.key;
        entry->keyId = field.keyId;
        switch (field.kind) {
            case KJPropertyKind::Text: {
                const auto& text = fieldAt<std::optional<std::string>>(base, field);
                entry->kind = Kind::Text;
                entry->text = text ? std::string_view(*text) : std::string_view();
                // Its bytes, when they lie apart, are read when the form is written.
                __builtin_prefetch(entry->text.data());
                break;
            }
            case KJPropertyKind::Int:
                entry->kind = Kind::Integer;
                entry->integer = fieldAt<int32_t>(base, field);
                break;
            case KJPropertyKind::Integer64:
                entry->kind = Kind::Integer;
                entry->integer = fieldAt<int64_t>(base, field);
                break;
            case KJPropertyKind::Double:
                entry->kind = Kind::Real;
                entry->real = fieldAt<double>(base, field);
                break;
            case KJPropertyKind::Bool:
                entry->kind = Kind::Boolean;
                entry->boolean = fieldAt<bool>(base, field);
                break;
            case KJPropertyKind::Color:
                entry->kind = Kind::Colour;
                KJStoredForm::setColour(*entry, fieldAt<std::optional<platform::Color>>(base, field));
                break;
            case KJPropertyKind::FourSide:
            case KJPropertyKind::Other:
                break;
        }
        ++entry;
    }
}

bool KJTipBaseElement::deserializeFromDictionaryWithExcludeProperties(const Value& stored,
                                                                      const Exclusions& exclude) {
    if (!stored.isDictionary()) return false;
    KJDocumentReader in(stored, recordClass().name());
    for (const KJProperty& p : recordClass().properties()) {
        if (excluded(exclude, p.name)) continue;
        std::visit(
            Overloaded{
                [](const std::monostate&) {},
                // A missing text reads as absent, never as a "(null)" text.
                [&](const KJFieldAccess<std::optional<std::string>>& f) { f(*this) = in.text(p.name); },
                [&](const KJFieldAccess<int32_t>& f) { f(*this) = static_cast<int32_t>(in.integer(p.name)); },
                [&](const KJFieldAccess<int64_t>& f) { f(*this) = in.integer(p.name); },
                [&](const KJFieldAccess<double>& f) { f(*this) = in.doubleNumber(p.name); },
                [&](const KJFieldAccess<bool>& f) { f(*this) = in.boolean(p.name); },
                [&](const KJFieldAccess<std::optional<platform::Color>>& f) { f(*this) = in.color(p.name); },
                [&](const KJFieldAccess<FourSide>& f) {
                    FourSide side;
                    side.top = in.number(p.sideKeys[0]);
                    side.bottom = in.number(p.sideKeys[3]);
                    side.left = in.number(p.sideKeys[1]);
                    side.right = in.number(p.sideKeys[2]);
                    f(*this) = side;
                },
            },
            p.access);
    }
    return true;
}

bool KJTipBaseElement::isEqualWithExcludeProperties(const platform::NSObject* other,
                                                    const Exclusions& exclude) const {
    const auto* that = dynamic_cast<const KJTipBaseElement*>(other);
    if (!that || !that->recordClass().isSubclassOf(recordClass())) return false;
    auto& a = const_cast<KJTipBaseElement&>(*this);
    auto& b = const_cast<KJTipBaseElement&>(*that);
    for (const KJProperty& p : recordClass().properties()) {
        if (excluded(exclude, p.name)) continue;
        bool same =
            std::visit(Overloaded{
                           [](const std::monostate&) { return true; },
                           [&](const KJFieldAccess<std::optional<std::string>>& f) {
                               return f(a).value_or("") == f(b).value_or("");
                           },
                           [&](const KJFieldAccess<int32_t>& f) { return f(a) == f(b); },
                           [&](const KJFieldAccess<int64_t>& f) { return f(a) == f(b); },
                           [&](const KJFieldAccess<double>& f) { return kjNearlyEqual(f(a), f(b)); },
                           [&](const KJFieldAccess<bool>& f) { return f(a) == f(b); },
                           [&](const KJFieldAccess<std::optional<platform::Color>>& f) {
                               return colorText(f(a)) == colorText(f(b));
                           },
                           [&](const KJFieldAccess<FourSide>& f) {
                               const FourSide& x = f(a);
                               const FourSide& y = f(b);
                               return kjNearlyEqual(x.top, y.top) && kjNearlyEqual(x.bottom, y.bottom) &&
                                      kjNearlyEqual(x.left, y.left) && kjNearlyEqual(x.right, y.right);
                           },
                       },
                       p.access);
        if (!same) return false;
    }
    return true;
}

Value KJTipBaseElement::valueForKey(std::string_view key) const {
    const KJProperty* p = recordClass().property(key);
    if (!p) return NSObject::valueForKey(key);
    auto& self = const_cast<KJTipBaseElement&>(*this);
    return std::visit(Overloaded{
                          [&](const std::monostate&) { return NSObject::valueForKey(key); },
                          [&](const KJFieldAccess<std::optional<std::string>>& f) {
                              const auto& text = f(self);
                              return text ? Value(*text) : Value();
                          },
                          [&](const KJFieldAccess<int32_t>& f) { return Value(f(self)); },
                          [&](const KJFieldAccess<int64_t>& f) { return Value(f(self)); },
                          [&](const KJFieldAccess<double>& f) { return Value(f(self)); },
                          [&](const KJFieldAccess<bool>& f) { return Value(f(self)); },
                          [&](const KJFieldAccess<std::optional<platform::Color>>& f) {
                              const auto& color = f(self);
                              return color ? Value(colorText(color)) : Value();
                          },
                          [&](const KJFieldAccess<FourSide>&) { return Value(); },
                      },
                      p->access);
}

bool KJTipBaseElement::nestedEqual(const std::shared_ptr<const KJTipBaseElement>& a,
                                   const std::shared_ptr<const KJTipBaseElement>& b) {
    if (!a || !b) return !a && !b;
    return a->isEqual(b.get());
}

}  // namespace brindlecue
