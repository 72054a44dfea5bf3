#pragma once

#include <optional>

#include "platform/Date.h"
#include "platform/coredata/ManagedObject.h"

namespace brindlecue {

// The base of every stored entity: when the object was created and when it was last saved.
// The creation date is stamped on insertion, the modification date by the stack's save.
class BLQAuditableObject : public platform::ManagedObject {
public:
    // Runs the base behaviour, then sets the creation date to now.
    void awakeFromInsert() override;
    // Sets the creation date to now when it is empty, and the modification date to now.
    virtual void updateAuditFields();

    std::optional<platform::Date> createdDate() const { return dateValue(kCreatedDate); }
    void setCreatedDate(std::optional<platform::Date> date) { setValue(kCreatedDate, date); }
    std::optional<platform::Date> modifiedDate() const { return dateValue(kModifiedDate); }
    void setModifiedDate(std::optional<platform::Date> date) { setValue(kModifiedDate, date); }

protected:
    static constinit inline const platform::ManagedObjectKey kCreatedDate{"createdDate"};
    static constinit inline const platform::ManagedObjectKey kModifiedDate{"modifiedDate"};
};

}  // namespace brindlecue
