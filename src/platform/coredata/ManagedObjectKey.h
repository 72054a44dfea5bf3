#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/coredata/EntityDescription.h"

namespace brindlecue::platform {

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
    static constexpr unsigned kIndexBits = 24;
    static constexpr uint64_t kIndexMask = (uint64_t(1) << kIndexBits) - 1;
    static constexpr uint64_t kRelationshipBit = uint64_t(1) << kIndexBits;

    // The revision changes whenever the entity gains a name, so a remembered index never outlives
    // the layout it was found in; the pair is one word, read and written whole.
    static uint64_t tagOf(const EntityDescription& entity, bool relationship) {
        return entity.revision() << (kIndexBits + 1) | (relationship ? kRelationshipBit : 0);
    }
    int indexIn(const EntityDescription& entity, bool relationship) const {
        const uint64_t found = found_.load(std::memory_order_relaxed);
        if (found != 0 && (found & ~kIndexMask) == tagOf(entity, relationship))
            return static_cast<int>(found & kIndexMask) - 1;
        return lookUp(entity, relationship);
    }
    int lookUp(const EntityDescription& entity, bool relationship) const;

    std::string_view name_;
    // The entity's revision, whether it was a relationship, and the index plus one; 0 for none yet.
    mutable std::atomic<uint64_t> found_{0};
};

}  // namespace brindlecue::platform
