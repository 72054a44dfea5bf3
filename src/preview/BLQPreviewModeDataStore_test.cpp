#include "preview/BLQPreviewModeDataStore.h"

#include <gtest/gtest.h>

#include "platform/UserDefaults.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using platform::Date;
using testsupport::RecordingLoggerManager;

TEST(PreviewModeDataStore, KeepsTheFlagAndTimestampsInTheUserDefaults) {
    auto logs = RecordingLoggerManager::install();
    BLQPreviewModeDataStore store;
    EXPECT_FALSE(store.getIsInPreviewMode());
    EXPECT_FALSE(store.getLocalTimestamp());
    EXPECT_FALSE(store.getServerTimestamp());
    EXPECT_TRUE(logs->contains("PreviewMode: No local timestamp found on device", 2));
    EXPECT_TRUE(logs->contains("PreviewMode: No server timestamp found on device", 2));

    const Date local = Date::fromTimeIntervalSince1970(1767225600.125);
    store.setIsInPreviewMode(true);
    store.setLocalTimestamp(local);
    store.setServerTimestamp(Date::fromTimeIntervalSince1970(1767225601));
    auto& defaults = platform::UserDefaults::standard();
    EXPECT_EQ(defaults.string("BLQ_PREVIEW_MODE_LOCAL_TIMESTAMP"), "2026-01-01T00:00:00.125Z");
    EXPECT_TRUE(defaults.bool_("BLQ_PREVIEW_MODE"));
    BLQPreviewModeDataStore later;
    EXPECT_TRUE(later.getIsInPreviewMode());
    EXPECT_EQ(later.getLocalTimestamp(), local);
    EXPECT_EQ(later.getServerTimestamp(), Date::fromTimeIntervalSince1970(1767225601));

    // No date removes the value; unreadable text reads as none without a line and stays.
    logs->clear();
    store.setLocalTimestamp(std::nullopt);
    EXPECT_TRUE(defaults.object("BLQ_PREVIEW_MODE_LOCAL_TIMESTAMP").isAbsent());
    EXPECT_FALSE(store.getLocalTimestamp());
    EXPECT_EQ(logs->count("PreviewMode: No local timestamp"), 1u);
    defaults.setString("BLQ_PREVIEW_MODE_SERVER_TIMESTAMP", "soon");
    EXPECT_FALSE(store.getServerTimestamp());
    EXPECT_EQ(logs->count("PreviewMode: No server timestamp"), 0u);
    EXPECT_EQ(defaults.string("BLQ_PREVIEW_MODE_SERVER_TIMESTAMP"), "soon");

    EXPECT_EQ(BLQPreviewModeKeysFromRawValue("BLQ_PREVIEW_MODE"), BLQPreviewModeKeys::isPreviewMode);
    EXPECT_FALSE(BLQPreviewModeKeysFromRawValue("blq_preview_mode"));
}

}  // namespace
}  // namespace brindlecue
