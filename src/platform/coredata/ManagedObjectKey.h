#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindlecue::platform {

class EntityDescription;

// The name of an attribute or relationship as a managed object's accessors take it. A key the
// code keeps (a constant of an entity class) remembers where the entity it was last used with
// keeps the name, and finds it there without a lookup from then on; a key made from a text for
// one call looks the name up as the text would.
class ManagedObjectKey {
public:
    constexpr ManagedObjectKey(const char* name) : name_(name) {}
    constexpr ManagedObjectKey(std::string_view name) : name_(name) {}
    ManagedObjectKey(const std::string& name) : name_(name) {}
    ManagedObjectKey(const ManagedObjectKey& other) : name_(other.name_) {}
    ManagedObjectKey& operator=(const ManagedObjectKey&) = delete;

    std::string_view name() const { return name_; }
    // The index of the attribute (or relationship) of that name in the entity; -1 for none.
    int attributeIndex(const EntityDescription& entity) const { return indexIn(entity, false); }
    int relationshipIndex(const EntityDescription& entity) const { return indexIn(entity, true); }

private:
    int indexIn(const EntityDescription& entity, bool relationship) const;

    std::string_view name_;
    // The entity's revision, whether it was a relationship, and the index plus one; 0 for none yet.
    mutable std::atomic<uint64_t> found_{0};
};

}  // namespace brindlecue::platform
