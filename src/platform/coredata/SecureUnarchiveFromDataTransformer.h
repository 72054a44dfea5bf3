#pragma once

#include <vector>

#include "platform/Value.h"
#include "platform/coredata/ValueTransformer.h"

namespace brindlecue::platform {

// Stores a value as a keyed archive (a binary property list) and, reading it back, refuses any
// archive whose top-level value is not of an allowed kind. Subclasses narrow the allowed kinds.
//
// The archive keeps what a property list alone cannot: null values (nested absent values are
// archived as null, as a collection cannot hold nil) and the key order of dictionaries.
class SecureUnarchiveFromDataTransformer : public ValueTransformer {
public:
    // Every kind but absent.
    virtual std::vector<Value::Type> allowedTopLevelClasses() const;

    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};

}  // namespace brindlecue::platform
