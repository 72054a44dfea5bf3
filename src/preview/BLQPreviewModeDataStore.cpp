#include "preview/BLQPreviewModeDataStore.h"

#include "foundation/DateExtensions.h"
#include "foundation/StringExtensions.h"
#include "platform/UserDefaults.h"

namespace brindlecue {

std::optional<BLQPreviewModeKeys> BLQPreviewModeKeysFromRawValue(std::string_view raw) {
    for (auto key : {BLQPreviewModeKeys::isPreviewMode, BLQPreviewModeKeys::localTimestamp,
                     BLQPreviewModeKeys::serverTimestamp})
        if (raw == rawValue(key)) return key;
    return std::nullopt;
}

std::string rawValue(BLQPreviewModeKeys key) {
    switch (key) {
        case BLQPreviewModeKeys::isPreviewMode:
            return "BLQ_PREVIEW_MODE";
        case BLQPreviewModeKeys::localTimestamp:
            return "BLQ_PREVIEW_MODE_LOCAL_TIMESTAMP";
        case BLQPreviewModeKeys::serverTimestamp:
            return "BLQ_PREVIEW_MODE_SERVER_TIMESTAMP";
    }
    return "BLQ_PREVIEW_MODE";
}

bool BLQPreviewModeDataStore::getIsInPreviewMode() {
    return platform::UserDefaults::standard().bool_(rawValue(BLQPreviewModeKeys::isPreviewMode));
}

void BLQPreviewModeDataStore::setIsInPreviewMode(bool isInPreviewMode) {
    auto& defaults = platform::UserDefaults::standard();
    defaults.setBool(rawValue(BLQPreviewModeKeys::isPreviewMode), isInPreviewMode);
    defaults.synchronize();
}

std::optional<platform::Date> BLQPreviewModeDataStore::getLocalTimestamp() {
    return readTimestamp(BLQPreviewModeKeys::localTimestamp,
                         "PreviewMode: No local timestamp found on device");
}

void BLQPreviewModeDataStore::setLocalTimestamp(const std::optional<platform::Date>& timestamp) {
    writeTimestamp(BLQPreviewModeKeys::localTimestamp, timestamp);
}

std::optional<platform::Date> BLQPreviewModeDataStore::getServerTimestamp() {
    return readTimestamp(BLQPreviewModeKeys::serverTimestamp,
                         "PreviewMode: No server timestamp found on device");
}

void BLQPreviewModeDataStore::setServerTimestamp(const std::optional<platform::Date>& timestamp) {
    writeTimestamp(BLQPreviewModeKeys::serverTimestamp, timestamp);
}

std::optional<platform::Date> BLQPreviewModeDataStore::readTimestamp(BLQPreviewModeKeys key,
                                                                     const std::string& missingLine) const {
    auto stored = platform::UserDefaults::standard().string(rawValue(key));
    if (!stored) {
        log(missingLine, BLQLoggingLevel::info);
        return std::nullopt;
    }
    return toDate(*stored);
}

void BLQPreviewModeDataStore::writeTimestamp(BLQPreviewModeKeys key,
                                             const std::optional<platform::Date>& timestamp) {
    auto& defaults = platform::UserDefaults::standard();
    if (timestamp)
        defaults.setString(rawValue(key), toISO8601String(*timestamp));
    else
        defaults.remove(rawValue(key));
    defaults.synchronize();
}

}  // namespace brindlecue
