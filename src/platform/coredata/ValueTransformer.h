#pragma once

#include <memory>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// Turns the value of a transformable attribute into what the store keeps (data) and back. The
// store looks transformers up by the name the attribute gives, in a process-wide registry.
class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;

    // Model value to stored data; absent when the value cannot be stored.
    virtual Value transformedValue(const Value& value) const = 0;
    // Stored data back to the model value; absent when the data cannot be read.
    virtual Value reverseTransformedValue(const Value& value) const = 0;

    // A null transformer removes the name. Thread-safe.
    static void setValueTransformer(std::shared_ptr<const ValueTransformer> transformer,
                                    const std::string& name);
    static std::shared_ptr<const ValueTransformer> valueTransformerForName(const std::string& name);
};

}  // namespace brindlecue::platform
