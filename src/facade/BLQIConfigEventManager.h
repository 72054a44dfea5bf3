#pragma once

#include <memory>

#include "facade/BLQIConfigEventDelegate.h"

namespace brindlecue {

// Receives the server's configuration events and reports them to its delegate.
class BLQIConfigEventManager {
public:
    virtual ~BLQIConfigEventManager() = default;
    virtual std::shared_ptr<BLQIConfigEventDelegate> delegate() const = 0;
    virtual void setDelegate(std::shared_ptr<BLQIConfigEventDelegate> delegate) = 0;
};

}  // namespace brindlecue
