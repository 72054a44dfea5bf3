#include "feed/KJTipBaseElement.h"

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cmath>
#include <map>
#include <mutex>
#include <set>

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
        if (p.name.size() >= indexByLength_.size()) indexByLength_.resize(p.name.size() + 1);
        indexByLength_[p.name.size()].push_back(static_cast<int>(&p - properties_.data()));
        std::vector<const KJStoredKey*> written = p.storedSideKeys;
        if (p.key) written.push_back(p.key);
        for (const KJStoredKey* key : written) {
            if (key->id() >= writes_.size()) writes_.resize(key->id() + 1, false);
            writes_[key->id()] = true;
        }
    }
    platform::ClassRegistry::registerClass(name_, superclass_ ? superclass_->name() : "NSObject");
}

bool KJElementClass::writesKey(std::string_view key) const {
    return storedKeys_.find(key) != storedKeys_.end();
}

int KJElementClass::propertyIndex(std::string_view name) const {
    if (name.size() >= indexByLength_.size()) return -1;
    for (int index : indexByLength_[name.size()])
        if (properties_[static_cast<size_t>(index)].name == name) return index;
    return -1;
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
    auto& self = const_cast<KJTipBaseElement&>(*this);
    const KJElementClass& cls = recordClass();
    const std::vector<KJProperty>& properties = cls.properties();
    // The excluded properties by their index, looked up once rather than at every property.
    constexpr size_t kMarked = 256;
    std::bitset<kMarked> skipped;
    const bool marked = properties.size() <= kMarked;
    if (marked && !exclude.empty()) {
        for (std::string_view name : exclude)
            if (int index = cls.propertyIndex(name); index >= 0) skipped.set(static_cast<size_t>(index));
    }
    // A key given already that a property writes takes the property's value in its place; a class
    // of which no two properties write one key, whose keys were not given before, just adds them.
    bool collide = !cls.storedKeysDistinct();
    for (const KJStoredForm::Entry& entry : out.entries()) collide = collide || cls.writesKey(*entry.key);
    KJStoredForm::Adding adding(out, !collide);
    const KJProperty* const table = properties.data();
    const size_t count = properties.size();
    for (size_t i = 0; i < count; ++i) {
        const KJProperty& p = table[i];
        if (p.kind == KJPropertyKind::Other || (marked ? skipped[i] : excluded(exclude, p.name))) continue;
        std::visit(Overloaded{
                       [](const std::monostate&) {},
                       [&](const KJFieldAccess<std::optional<std::string>>& f) {
                           const std::optional<std::string>& text = f(self);
                           out.text(*p.key, text ? std::string_view(*text) : std::string_view());
                       },
                       [&](const KJFieldAccess<int32_t>& f) { out.integer(*p.key, f(self)); },
                       [&](const KJFieldAccess<int64_t>& f) { out.integer(*p.key, f(self)); },
                       [&](const KJFieldAccess<double>& f) { out.real(*p.key, f(self)); },
                       [&](const KJFieldAccess<bool>& f) { out.boolean(*p.key, f(self)); },
                       [&](const KJFieldAccess<std::optional<platform::Color>>& f) { out.colour(*p.key, f(self)); },
                       [&](const KJFieldAccess<FourSide>& f) {
                           const FourSide& side = f(self);
                           out.real(*p.storedSideKeys[0], side.top);
                           out.real(*p.storedSideKeys[1], side.left);
                           out.real(*p.storedSideKeys[2], side.right);
                           out.real(*p.storedSideKeys[3], side.bottom);
                       },
                   },
                   p.access);
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
