#pragma once

#include <optional>

#include "platform/Date.h"

namespace brindlecue {

// The preview flag and the two preview timestamps, kept across launches.
class BLQIPreviewModeDataStore {
public:
    virtual ~BLQIPreviewModeDataStore() = default;

    // False when nothing is stored.
    virtual bool getIsInPreviewMode() = 0;
    virtual void setIsInPreviewMode(bool isInPreviewMode) = 0;
    // When this device last entered preview mode.
    virtual std::optional<platform::Date> getLocalTimestamp() = 0;
    // None removes the stored value.
    virtual void setLocalTimestamp(const std::optional<platform::Date>& timestamp) = 0;
    // The last preview date the server reported.
    virtual std::optional<platform::Date> getServerTimestamp() = 0;
    virtual void setServerTimestamp(const std::optional<platform::Date>& timestamp) = 0;
};

}  // namespace brindlecue
