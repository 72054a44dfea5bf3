#pragma once

#include <memory>
#include <string>

#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

class BLQTagDTO;

// One stored tag (entity "Tag"): a key and its value as text, the install it belongs to and the
// user events that concern it.
class BLQTag : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "Tag";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // The ordinary lookup: the key exactly ("key == %@"), so that "user" never finds "user_id".
    static platform::PredicatePtr findByKey(const std::string& key);
    // "key MATCHES %@": the whole stored key matches the pattern.
    static platform::PredicatePtr findByRegexSearch(const std::string& pattern);
    // "install == nil".
    static platform::PredicatePtr findByMissingInstall();

    std::shared_ptr<BLQTagDTO> toDTO() const;
    // Sets the key, then the value.
    void updateFromDTO(const BLQTagDTO& dto);

    // A tag whose value was never set reads as empty text.
    std::string key() const { return stringValue("key").value_or(""); }
    void setKey(const std::string& key) { setValue("key", key); }
    std::string valueText() const { return stringValue("value").value_or(""); }
    void setValueText(const std::string& text) { setValue("value", text); }
};

}  // namespace brindlecue
