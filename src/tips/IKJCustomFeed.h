#pragma once

#include <memory>

namespace brindlecue {

class KJFeedObject;

// What a host screen's custom-feed delegate implements: it receives, on the main queue, each
// custom feed item meant for that screen (or for every screen). A screen names its delegate
// through the getter "customFeedDelegate" (NSObject::performSelector).
class IKJCustomFeed {
public:
    virtual ~IKJCustomFeed() = default;
    virtual void receiveCustomFeed(const std::shared_ptr<KJFeedObject>& feed) = 0;
};

}  // namespace brindlecue
