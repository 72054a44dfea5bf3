#include "platform/coredata/ValueTransformer.h"

#include <map>
#include <mutex>
#include <utility>

namespace brindlecue::platform {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const ValueTransformer>> transformers;
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

}  // namespace

void ValueTransformer::setValueTransformer(std::shared_ptr<const ValueTransformer> transformer,
                                           const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (transformer)
        r.transformers[name] = std::move(transformer);
    else
        r.transformers.erase(name);
}

std::shared_ptr<const ValueTransformer> ValueTransformer::valueTransformerForName(const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.transformers.find(name);
    return it == r.transformers.end() ? nullptr : it->second;
}

}  // namespace brindlecue::platform
