#include "imaging/UIViewWebCacheOperation.h"

#include <mutex>

#include "platform/uikit/UIView.h"

namespace brindlecue {

namespace {

constexpr const char* kLoadOperationKey = "loadOperationKey";

struct OperationTable {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<KJSDWebImageOperation>> operations;
};

std::shared_ptr<OperationTable> table(const platform::UIView& view) {
    // Made once per view even when two threads ask at the same time.
    static std::mutex creation;
    std::lock_guard lock(creation);
    auto existing = view.associatedObject<OperationTable>(kLoadOperationKey);
    if (existing) return existing;
    auto made = std::make_shared<OperationTable>();
    const_cast<platform::UIView&>(view).setAssociatedObject(kLoadOperationKey, made);
    return made;
}

}  // namespace

void UIViewWebCacheOperation::sd_setImageLoadOperation(const std::shared_ptr<platform::UIView>& view,
                                                       const std::shared_ptr<KJSDWebImageOperation>& operation,
                                                       const std::string& key) {
    if (!view || key.empty()) return;
    sd_cancelImageLoadOperationWithKey(view, key);
    if (!operation) return;
    auto operations = table(*view);
    std::lock_guard lock(operations->mutex);
    operations->operations[key] = operation;
}

void UIViewWebCacheOperation::sd_cancelImageLoadOperationWithKey(const std::shared_ptr<platform::UIView>& view,
                                                                 const std::string& key) {
    if (!view) return;
    auto operations = table(*view);
    std::shared_ptr<KJSDWebImageOperation> operation;
    {
        std::lock_guard lock(operations->mutex);
        auto it = operations->operations.find(key);
        if (it == operations->operations.end()) return;
        operation = it->second.lock();
    }
    if (operation) operation->cancel();
    std::lock_guard lock(operations->mutex);
    operations->operations.erase(key);
}

void UIViewWebCacheOperation::sd_removeImageLoadOperationWithKey(const std::shared_ptr<platform::UIView>& view,
                                                                 const std::string& key) {
    if (!view) return;
    auto operations = table(*view);
    std::lock_guard lock(operations->mutex);
    operations->operations.erase(key);
}

std::map<std::string, std::shared_ptr<KJSDWebImageOperation>> UIViewWebCacheOperation::sd_operationDictionary(
    const std::shared_ptr<platform::UIView>& view) {
    std::map<std::string, std::shared_ptr<KJSDWebImageOperation>> out;
    if (!view) return out;
    auto operations = table(*view);
    std::lock_guard lock(operations->mutex);
    for (const auto& [key, weak] : operations->operations)
        if (auto operation = weak.lock()) out[key] = operation;
    return out;
}

}  // namespace brindlecue
