#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

class BLQConfigSettingDTO;

// One persisted configuration setting (entity "ConfigSetting"): a key and its value as text.
class BLQConfigSetting : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "ConfigSetting";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // "key == %@".
    static platform::PredicatePtr findByKey(const std::string& key);

    std::shared_ptr<BLQConfigSettingDTO> toDTO() const;
    // Copies key, value and both dates (absent clears).
    void updateFromDTO(const BLQConfigSettingDTO& dto);

    std::optional<std::string> key() const { return stringValue("key"); }
    void setKey(const std::optional<std::string>& key) { setValue("key", key); }
    // The "value" attribute (named apart from the managed object's own value accessors).
    std::optional<std::string> valueText() const { return stringValue("value"); }
    void setValueText(const std::optional<std::string>& text) { setValue("value", text); }
};

}  // namespace brindlecue
