#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/coredata/EntityDescription.h"

namespace brindlecue::platform {

// A key path ("appKey", "install.appKey") resolved against an entity: the to-one relationships
// walked before the last key, the entity that holds the last key, and what that key is.
struct ResolvedKeyPath {
    std::vector<const RelationshipDescription*> hops;
    std::shared_ptr<const EntityDescription> entity;
    const AttributeDescription* attribute = nullptr;        // the last key is an attribute...
    const RelationshipDescription* relationship = nullptr;  // ...or a relationship
};

// The entities of a store. Built once; after it is given to a container it is not changed.
class ManagedObjectModel {
public:
    ManagedObjectModel() = default;

    ManagedObjectModel& addEntity(EntityDescription entity);
    std::shared_ptr<const EntityDescription> entity(std::string_view name) const;
    const std::vector<std::shared_ptr<const EntityDescription>>& entities() const { return entities_; }

    // Checks what the store relies on: unique entity and property names (none starting with the
    // reserved "Z_"), relationship destinations that exist, and inverses that name each other with
    // at least one side to-one. Containers refuse a model that fails. Worked out once per model.
    std::optional<Error> validate() const;

    // A hash of everything a store is made from (entities, their attributes with type, default,
    // transformer and index, their relationships): equal for equal models, different when any of
    // it changes. Stores keep it to tell a file made for this model. Worked out once per model.
    const std::string& versionHash() const;

    // Resolves a key path whose every key but the last is a to-one relationship. Fails (nullopt,
    // error filled) for unknown keys and for paths through a to-many relationship.
    std::optional<ResolvedKeyPath> resolveKeyPath(const std::shared_ptr<const EntityDescription>& entity,
                                                  std::string_view keyPath, Error* error = nullptr) const;

    // The platform's look-up of a compiled model by name, used by containers built with a name
    // alone. The host registers its model under its name before building such a container.
    static void registerNamed(const std::string& name, std::shared_ptr<const ManagedObjectModel> model);
    static std::shared_ptr<const ManagedObjectModel> named(const std::string& name);

private:
    std::optional<Error> check() const;

    // What validate and versionHash worked out, made anew by a change; copies share it until then.
    struct Derived {
        std::once_flag validated;
        std::optional<Error> validation;
        std::once_flag hashed;
        std::string versionHash;
    };

    std::vector<std::shared_ptr<const EntityDescription>> entities_;
    std::shared_ptr<Derived> derived_ = std::make_shared<Derived>();
};

}  // namespace brindlecue::platform
