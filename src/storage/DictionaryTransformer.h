#pragma once

#include <vector>

#include "platform/Value.h"
#include "platform/coredata/SecureUnarchiveFromDataTransformer.h"

namespace brindlecue {

// Stores dictionary-valued attributes (a user event's details) as a secure keyed archive; an
// archive whose top level is not a dictionary reads back as nothing.
class DictionaryTransformer final : public platform::SecureUnarchiveFromDataTransformer {
public:
    static constexpr const char* kName = "DictionaryTransformer";

    // Dictionaries only (the platform's immutable and mutable dictionaries are one kind here).
    std::vector<platform::Value::Type> allowedTopLevelClasses() const override;

    // Registers one transformer under "DictionaryTransformer". Called once, before the model is
    // used.
    static void registerDictionaryTransformer();
};

}  // namespace brindlecue
