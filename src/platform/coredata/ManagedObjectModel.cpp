#include "platform/coredata/ManagedObjectModel.h"

#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/Crypto.h"
#include "platform/coredata/CoreDataError.h"

namespace brindlecue::platform {

namespace {

std::mutex& registryMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::map<std::string, std::shared_ptr<const ManagedObjectModel>>& registry() {
    static auto* r = new std::map<std::string, std::shared_ptr<const ManagedObjectModel>>;
    return *r;
}

bool reserved(const std::string& name) {
    return name.empty() || name.rfind("Z_", 0) == 0;
}

}  // namespace

ManagedObjectModel& ManagedObjectModel::addEntity(EntityDescription entity) {
    entities_.push_back(std::make_shared<const EntityDescription>(std::move(entity)));
    derived_ = std::make_shared<Derived>();
    return *this;
}

std::shared_ptr<const EntityDescription> ManagedObjectModel::entity(std::string_view name) const {
    for (const auto& e : entities_)
        if (e->name() == name) return e;
    return nullptr;
}

std::optional<Error> ManagedObjectModel::validate() const {
    Derived& derived = *derived_;
    std::call_once(derived.validated, [&] { derived.validation = check(); });
    return derived.validation;
}

const std::string& ManagedObjectModel::versionHash() const {
    Derived& derived = *derived_;
    std::call_once(derived.hashed, [&] {
        // Each name is followed by a separator no name holds, so that no two models read alike.
        std::string text;
        auto add = [&](std::string_view part) {
            text += part;
            text += '\0';
        };
        for (const auto& e : entities_) {
            add("entity");
            add(e->name());
            for (const auto& a : e->attributes()) {
                add("attribute");
                add(a.name);
                add(std::to_string(static_cast<int>(a.type)));
                add(a.optional ? "optional" : "required");
                add(a.defaultValue.isNil() ? "" : a.defaultValue.description());
                add(std::to_string(static_cast<int>(a.defaultValue.type())));
                add(a.valueTransformerName);
                add(a.indexed ? "indexed" : "");
            }
            for (const auto& r : e->relationships()) {
                add("relationship");
                add(r.name);
                add(r.destinationEntity);
                add(r.inverseName);
                add(r.toMany ? "to-many" : "to-one");
                add(std::to_string(static_cast<int>(r.deleteRule)));
            }
        }
        derived.versionHash = Crypto::md5Hex(text);
    });
    return derived.versionHash;
}

std::optional<Error> ManagedObjectModel::check() const {
    auto fail = [](const std::string& text) { return makeCoreDataError(CoreDataError::CoreData, text); };
    std::set<std::string> entityNames;
    for (const auto& e : entities_) {
        if (reserved(e->name()) || !entityNames.insert(e->name()).second)
            return fail("Invalid or duplicate entity name \"" + e->name() + "\"");
        std::set<std::string> names;
        for (const auto& a : e->attributes()) {
            if (reserved(a.name) || !names.insert(a.name).second)
                return fail("Invalid or duplicate property \"" + a.name + "\" in entity " + e->name());
            if (a.type == AttributeType::Transformable && a.valueTransformerName.empty())
                return fail("Transformable attribute " + e->name() + "." + a.name +
                            " names no value transformer");
        }
        for (const auto& r : e->relationships()) {
            if (reserved(r.name) || !names.insert(r.name).second)
                return fail("Invalid or duplicate property \"" + r.name + "\" in entity " + e->name());
            auto destination = entity(r.destinationEntity);
            if (!destination)
                return fail("Relationship " + e->name() + "." + r.name + " has no destination entity " +
                            r.destinationEntity);
            const RelationshipDescription* inverse = destination->relationship(r.inverseName);
            if (inverse == nullptr || inverse->inverseName != r.name ||
                inverse->destinationEntity != e->name())
                return fail("Relationship " + e->name() + "." + r.name + " has no matching inverse");
            if (r.toMany && inverse->toMany)
                return fail("Relationship " + e->name() + "." + r.name + " and its inverse are both to-many");
        }
    }
    return std::nullopt;
}

std::optional<ResolvedKeyPath> ManagedObjectModel::resolveKeyPath(
    const std::shared_ptr<const EntityDescription>& root, std::string_view keyPath, Error* error) const {
    auto fail = [&](const std::string& text) -> std::optional<ResolvedKeyPath> {
        if (error) *error = makeCoreDataError(CoreDataError::CoreData, text);
        return std::nullopt;
    };
    ResolvedKeyPath out;
    out.entity = root;
    std::string_view rest = keyPath;
    while (true) {
        size_t dot = rest.find('.');
        std::string_view key = rest.substr(0, dot);
        if (!out.entity) return fail("Unknown entity in key path \"" + std::string(keyPath) + "\"");
        if (dot == std::string_view::npos) {
            out.attribute = out.entity->attribute(key);
            out.relationship = out.entity->relationship(key);
            if (!out.attribute && !out.relationship)
                return fail("Unknown key \"" + std::string(key) + "\" in key path \"" + std::string(keyPath) +
                            "\" of entity " + root->name());
            return out;
        }
        const RelationshipDescription* hop = out.entity->relationship(key);
        if (hop == nullptr || hop->toMany)
            return fail("Key path \"" + std::string(keyPath) +
                        "\" does not run through to-one relationships");
        out.hops.push_back(hop);
        out.entity = entity(hop->destinationEntity);
        rest = rest.substr(dot + 1);
    }
}

void ManagedObjectModel::registerNamed(const std::string& name,
                                       std::shared_ptr<const ManagedObjectModel> model) {
    std::lock_guard lock(registryMutex());
    registry()[name] = std::move(model);
}

std::shared_ptr<const ManagedObjectModel> ManagedObjectModel::named(const std::string& name) {
    std::lock_guard lock(registryMutex());
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}

}  // namespace brindlecue::platform
