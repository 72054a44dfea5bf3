// A library that a host started with nothing but its app key reaches its server from every part,
// the older HTTP clients included, against the sample server.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <optional>
#include <utility>

#include "feed/BLQGuidePayload.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "platform/coredata/PersistentContainer.h"
#include "presentation/BLQFeedback.h"
#include "support/HostApp.h"
#include "tips/BLQOperations.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::route;

// The stored version setting as the file holds it: its text and how often the row was written.
std::optional<std::pair<std::string, int64_t>> storedVersionSetting() {
    const auto file = platform::PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite";
    sqlite3* db = nullptr;
    std::optional<std::pair<std::string, int64_t>> out;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* read = nullptr;
        sqlite3_prepare_v2(db, "SELECT value, Z_OPT FROM ConfigSetting WHERE key = 'BLQ_CONFIG_SDK_VERSION'",
                           -1, &read, nullptr);
        if (read && sqlite3_step(read) == SQLITE_ROW && sqlite3_column_text(read, 0))
            out.emplace(reinterpret_cast<const char*>(sqlite3_column_text(read, 0)),
                        sqlite3_column_int64(read, 1));
        sqlite3_finalize(read);
    }
    sqlite3_close(db);
    return out;
}

class StartedLibraryTest : public testing::Test {
protected:
    testsupport::HostApp app;
};

TEST_F(StartedLibraryTest, ASurveyAnswerReachesTheConfiguredServerWithTheInstall) {
    app.server.addRoute(route("POST", "/v3/feedbacks", 201, "{}"));
    app.launch();
    ASSERT_TRUE(app.start());
    auto install = app.facade->currentInstall();
    ASSERT_TRUE(install && install->installId);

    auto step = std::make_shared<KJTipElement>();
    step->suid = "3";
    step->feed_id = "survey";
    step->campaignid = "c-survey";
    step->feedback = std::make_shared<KJTipFeedbackElement>();
    std::atomic<bool> done = false;
    std::optional<platform::Error> error;
    BLQOperations().submitFeedback(
        BLQFeedback("How was it?", {"Loved it"}, platform::Dictionary{}), BLQGuidePayload(step),
        [&](const std::optional<platform::URLRequest>&, const std::optional<platform::Error>& e) {
            error = e;
            done = true;
        });
    ASSERT_TRUE(app.pumpUntil([&] { return done.load(); }));
    EXPECT_FALSE(error) << error->description();

    ASSERT_EQ(app.requests("POST", "/v3/feedbacks"), 1u);
    for (const auto& entry : app.server.journal()) {
        if (entry.path != "/v3/feedbacks") continue;
        EXPECT_EQ(entry.query, "installid=" + *install->installId);
        EXPECT_EQ(entry.header("X-App-Key"), testsupport::HostApp::kAppKey);
        auto record = Value::fromJSON(entry.body);
        ASSERT_TRUE(record);
        EXPECT_EQ((*record)["installid"], Value(*install->installId));
        EXPECT_EQ((*record)["feedid"], Value("survey"));
        EXPECT_EQ((*record)["contents"], Value("Loved it"));
    }
}

TEST_F(StartedLibraryTest, AScreenShownBeforeTheStartIsReportedWithTheLibrarysVersion) {
    app.launch();
    app.facade->kjNotifyPageEnter(std::string("HomeViewController"));
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8108).empty(); }));
    auto enter = app.uploaded(8108).front();
    EXPECT_EQ(enter["string"], Value("HomeViewController"));
    EXPECT_EQ(enter["blq_version"], Value(Brindlecue::kVersion));
    EXPECT_EQ(enter["qx_version"], Value(Brindlecue::kVersion));
}

TEST_F(StartedLibraryTest, ALaunchWritesTheLibrarysVersionOnlyWhenTheStoredOneDiffers) {
    app.launch();
    app.settle();
    auto first = storedVersionSetting();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, Brindlecue::kVersion);

    // The same version again: the launch leaves the row as it was.
    app.relaunch();
    app.launch();
    app.settle();
    EXPECT_EQ(storedVersionSetting(), first);

    // A launch after an update of the library writes its own version.
    app.facade->configManager()->setSDKVersion("2.9.0");
    app.relaunch();
    app.launch();
    app.settle();
    auto updated = storedVersionSetting();
    ASSERT_TRUE(updated);
    EXPECT_EQ(updated->first, Brindlecue::kVersion);
    EXPECT_EQ(app.facade->configManager()->getSDKVersion(), std::optional<std::string>(Brindlecue::kVersion));
}

}  // namespace
}  // namespace brindlecue
