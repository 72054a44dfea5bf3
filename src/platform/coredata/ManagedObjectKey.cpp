#include "platform/coredata/ManagedObjectKey.h"

#include "platform/coredata/EntityDescription.h"

namespace brindlecue::platform {

namespace {

constexpr unsigned kIndexBits = 24;
constexpr uint64_t kIndexMask = (uint64_t(1) << kIndexBits) - 1;
constexpr uint64_t kRelationshipBit = uint64_t(1) << kIndexBits;

}  // namespace

int ManagedObjectKey::indexIn(const EntityDescription& entity, bool relationship) const {
    // The revision changes whenever the entity gains a name, so a remembered index never outlives
    // the layout it was found in; the pair is one word, read and written whole.
    const uint64_t tag = entity.revision() << (kIndexBits + 1) | (relationship ? kRelationshipBit : 0);
    const uint64_t found = found_.load(std::memory_order_relaxed);
    if (found != 0 && (found & ~kIndexMask) == tag) return static_cast<int>(found & kIndexMask) - 1;
    const int index = relationship ? entity.relationshipIndex(name_) : entity.attributeIndex(name_);
    if (index + 1 <= static_cast<int>(kIndexMask))
        found_.store(tag | static_cast<uint64_t>(index + 1), std::memory_order_relaxed);
    return index;
}

}  // namespace brindlecue::platform
