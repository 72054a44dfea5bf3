#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/BLQILoggable.h"
#include "preview/BLQIPreviewModeDataStore.h"

namespace brindlecue {

// The user-defaults keys of preview mode.
enum class BLQPreviewModeKeys {
    isPreviewMode,    // "BLQ_PREVIEW_MODE": a boolean
    localTimestamp,   // "BLQ_PREVIEW_MODE_LOCAL_TIMESTAMP": ISO-8601 text
    serverTimestamp,  // "BLQ_PREVIEW_MODE_SERVER_TIMESTAMP": ISO-8601 text
};

// Exactly the three keys; none for any other text.
std::optional<BLQPreviewModeKeys> BLQPreviewModeKeysFromRawValue(std::string_view raw);
std::string rawValue(BLQPreviewModeKeys key);

// Keeps the preview flag and timestamps in the standard user defaults, synchronised after every
// write. Dates are written as ISO-8601 text with fractional seconds and read with the library's
// date reader; a text it cannot read counts as no date. Holds nothing itself; any thread.
class BLQPreviewModeDataStore final : public BLQIPreviewModeDataStore, public BLQILoggable {
public:
    bool getIsInPreviewMode() override;
    void setIsInPreviewMode(bool isInPreviewMode) override;
    // A missing value logs "PreviewMode: No local timestamp found on device".
    std::optional<platform::Date> getLocalTimestamp() override;
    void setLocalTimestamp(const std::optional<platform::Date>& timestamp) override;
    // A missing value logs "PreviewMode: No server timestamp found on device".
    std::optional<platform::Date> getServerTimestamp() override;
    void setServerTimestamp(const std::optional<platform::Date>& timestamp) override;

private:
    std::optional<platform::Date> readTimestamp(BLQPreviewModeKeys key, const std::string& missingLine) const;
    void writeTimestamp(BLQPreviewModeKeys key, const std::optional<platform::Date>& timestamp);
};

}  // namespace brindlecue
