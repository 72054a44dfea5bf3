#pragma once

#include <memory>

#include "network/KJHTTPSessionManager.h"

namespace brindlecue {

// The older layer's JSON client: as KJHTTPSessionManager, but bodies are JSON, and it sets no
// identification headers when it is built.
class KJJSONSessionManager final : public KJHTTPSessionManager {
public:
    static std::shared_ptr<KJJSONSessionManager> sharedInstance();

private:
    KJJSONSessionManager();
};

}  // namespace brindlecue
