#pragma once

#include <string>

#include "config/BLQAppStatusModel.h"

namespace brindlecue {

// The app-status manager's view of the facade.
class BLQIAppStatusDelegate {
public:
    virtual ~BLQIAppStatusDelegate() = default;
    // Whether the install is registered with the server, so that its status may be asked.
    virtual bool hasValidInstall() = 0;
    // A document was applied to the configuration; the facade takes its preview-mode timestamp
    // and install token.
    virtual void onAppStatusUpdated(const BLQAppStatusModel& model) = 0;
    // The document's non-empty feed timestamp.
    virtual void onFeedTimeStampUpdated(const std::string& timeStamp) = 0;
};

}  // namespace brindlecue
