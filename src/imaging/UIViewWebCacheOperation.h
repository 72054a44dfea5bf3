#pragma once

#include <map>
#include <memory>
#include <string>

#include "imaging/KJSDWebImageOperation.h"

namespace brindlecue {

namespace platform {
class UIView;
}

// A view's running loads, one per operation key. Loads are held weakly, so a load the manager
// has let go leaves the table by itself. Safe to use from any thread.
class UIViewWebCacheOperation {
public:
    // Cancels what runs under the key, then keeps the load there. No key: nothing.
    static void sd_setImageLoadOperation(const std::shared_ptr<platform::UIView>& view,
                                         const std::shared_ptr<KJSDWebImageOperation>& operation,
                                         const std::string& key);
    static void sd_cancelImageLoadOperationWithKey(const std::shared_ptr<platform::UIView>& view,
                                                   const std::string& key);
    // Forgets the load without cancelling it.
    static void sd_removeImageLoadOperationWithKey(const std::shared_ptr<platform::UIView>& view,
                                                   const std::string& key);
    // The loads still alive, by key.
    static std::map<std::string, std::shared_ptr<KJSDWebImageOperation>> sd_operationDictionary(
        const std::shared_ptr<platform::UIView>& view);
};

}  // namespace brindlecue
