#include "platform/coredata/ManagedObjectKey.h"

namespace brindlecue::platform {

int ManagedObjectKey::lookUp(const EntityDescription& entity, bool relationship) const {
    const int index = relationship ? entity.relationshipIndex(name_) : entity.attributeIndex(name_);
    if (index + 1 <= static_cast<int>(kIndexMask))
        found_.store(tagOf(entity, relationship) | static_cast<uint64_t>(index + 1),
                     std::memory_order_relaxed);
    return index;
}

}  // namespace brindlecue::platform
