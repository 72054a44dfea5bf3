#include "storage/BLQConfigSetting.h"

#include "config/BLQConfigSettingDTO.h"

namespace brindlecue {

platform::PredicatePtr BLQConfigSetting::findByKey(const std::string& key) {
    return platform::Predicate::equal("key", key);
}

std::shared_ptr<BLQConfigSettingDTO> BLQConfigSetting::toDTO() const {
    return std::make_shared<BLQConfigSettingDTO>(key(), valueText(), createdDate(), modifiedDate());
}

void BLQConfigSetting::updateFromDTO(const BLQConfigSettingDTO& dto) {
    setKey(dto.key);
    setValueText(dto.value);
    setCreatedDate(dto.createdDate);
    setModifiedDate(dto.modifiedDate);
}

}  // namespace brindlecue
