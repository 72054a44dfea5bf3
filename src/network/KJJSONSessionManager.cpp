#include "network/KJJSONSessionManager.h"

#include "network/library/KJAFJSONRequestSerializer.h"
#include "platform/dispatch/DispatchOnce.h"

namespace brindlecue {

std::shared_ptr<KJJSONSessionManager> KJJSONSessionManager::sharedInstance() {
    static platform::DispatchOnceToken token;
    static std::shared_ptr<KJJSONSessionManager>* shared = nullptr;
    platform::dispatchOnce(token, [] { shared = new std::shared_ptr<KJJSONSessionManager>(adopt(new KJJSONSessionManager())); });
    return *shared;
}

KJJSONSessionManager::KJJSONSessionManager() { setRequestSerializer(KJAFJSONRequestSerializer::serializer()); }

}  // namespace brindlecue
