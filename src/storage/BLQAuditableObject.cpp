#include "storage/BLQAuditableObject.h"

namespace brindlecue {

void BLQAuditableObject::awakeFromInsert() {
    ManagedObject::awakeFromInsert();
    setCreatedDate(platform::Date::now());
}

void BLQAuditableObject::updateAuditFields() {
    platform::Date now = platform::Date::now();
    if (!createdDate()) setCreatedDate(now);
    setModifiedDate(now);
}

}  // namespace brindlecue
