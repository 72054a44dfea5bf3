#include "storage/DictionaryTransformer.h"

#include <memory>

namespace brindlecue {

std::vector<platform::Value::Type> DictionaryTransformer::allowedTopLevelClasses() const {
    return {platform::Value::Type::Dictionary};
}

void DictionaryTransformer::registerDictionaryTransformer() {
    platform::ValueTransformer::setValueTransformer(std::make_shared<DictionaryTransformer>(), kName);
}

}  // namespace brindlecue
