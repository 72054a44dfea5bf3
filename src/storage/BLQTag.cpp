#include "storage/BLQTag.h"

#include "storage/BLQTagDTO.h"

namespace brindlecue {

using platform::Predicate;
using platform::PredicatePtr;

PredicatePtr BLQTag::findByKey(const std::string& key) {
    return Predicate::equal("key", key);
}

PredicatePtr BLQTag::findByRegexSearch(const std::string& pattern) {
    return Predicate::matches("key", pattern);
}

PredicatePtr BLQTag::findByMissingInstall() {
    return Predicate::isNil("install");
}

std::shared_ptr<BLQTagDTO> BLQTag::toDTO() const {
    return std::make_shared<BLQTagDTO>(key(), valueText());
}

void BLQTag::updateFromDTO(const BLQTagDTO& dto) {
    setKey(dto.key);
    setValueText(dto.value);
}

}  // namespace brindlecue
