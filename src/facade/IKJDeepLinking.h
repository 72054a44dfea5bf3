#pragma once

#include "platform/Value.h"

namespace brindlecue {

// What a host screen may implement to take part in deep linking; both methods are optional (the
// defaults do nothing). The table and collection base classes adopt it; a host view controller
// adopts it by deriving from it too. When a base class loads its view, it asks a screen that
// adopts it to display its deep-linking state (displayDeepLinkingToUI).
class IKJDeepLinking {
public:
    virtual ~IKJDeepLinking() = default;
    virtual void receiveDeepLinkingData(const platform::Value& data) {}
    virtual void displayDeepLinkingToUI() {}
};

}  // namespace brindlecue
