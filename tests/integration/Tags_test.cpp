// Tags through the manager, the Core Data tag store and the sample server: what is stored, the
// user events each change makes, and the priority deletion of the preview-mode tag; and the tag
// events of a library a host started, as the server receives them.

#include <gtest/gtest.h>

#include <set>

#include "config/BLQInstallDTO.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "network/BLQTagHTTPNetworkRequester.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/DictionaryTransformer.h"
#include "support/HostApp.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "tags/BLQTagKey.h"
#include "tags/BLQTagManager.h"
#include "tags/BLQTagTestDoubles_test.h"

namespace brindlecue {
namespace {

using platform::RunLoop;

class TagsAgainstTheServer : public ::testing::Test {
protected:
    void SetUp() override {
        DictionaryTransformer::registerDictionaryTransformer();
        server.start();
        server.addRoute(testsupport::route("DELETE", "/v3/tags/.*", 200, "{}"));
        config->host = server.baseURL();
        details->id = 42;
        details->install = "abc";
    }
    // Waits for the store's queued work, its saves and what the manager does on their completion.
    void settle() {
        auto context = BLQCoreData::sharedInstance().backgroundContext();
        for (int i = 0; i < 3; ++i) context->performAndWait([] {});
        RunLoop::main().runUntilIdle();
    }
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        for (const auto& s : events->sent()) out.push_back(s.event + " = " + s.tag.value().value);
        return out;
    }

    sampleserver::SampleServer server;
    std::shared_ptr<testsupport::RecordingLoggerManager> logger =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<testing::FakeAppDetails> details = std::make_shared<testing::FakeAppDetails>();
    std::shared_ptr<BLQCoreDataTagDataStore> store =
        std::make_shared<BLQCoreDataTagDataStore>(BLQCoreData::sharedInstance().backgroundContext());
    std::shared_ptr<testing::RecordingUserEventManager> events =
        std::make_shared<testing::RecordingUserEventManager>();
    std::shared_ptr<BLQTagManager> manager = std::make_shared<BLQTagManager>(
        store,
        std::make_shared<BLQTagHTTPNetworkRequester>(
            std::make_shared<BLQHTTPManager>(details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{}),
            config, details),
        events, std::make_shared<testing::FakeInstallManager>(),
        std::vector<std::string>{BLQTagKey::previewMode()},
        std::vector<std::string>{BLQTagKey::previewMode()});
};

TEST_F(TagsAgainstTheServer, ChangesAreStoredReportedAndThePreviewModeDeletionIsSentAtOnce) {
    auto save = [&](const std::string& key, std::any value) {
        manager->saveTagWithKey(key, std::move(value), nullptr, nullptr);
        settle();
    };
    save("plan", std::string("gold"));
    save("plan", std::string("gold"));
    save("score", 2.5);
    save("visits", 3.0);
    save(BLQTagKey::previewMode(), std::string("true"));
    EXPECT_EQ(sent(), (std::vector<std::string>{"8999 Added or updated tag: plan = gold",
                                                "8999 Added or updated tag: score = 2.5",
                                                "8999 Added or updated tag: visits = 3"}));

    events->clear();
    manager->deleteTagWithKey(BLQTagKey::previewMode());
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return logger->count("Tag: Successfully sent priority delete") > 0; }));
    settle();
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].method + " " + journal[0].path, "DELETE /v3/tags/42%7Cabc%7Ckj_preview_mode");
    EXPECT_TRUE(logger->contains("Tag: Successfully sent priority delete for key: kj_preview_mode", 2));
    EXPECT_EQ(sent(), std::vector<std::string>{"8998 Deleted tag: kj_preview_mode = true"});
    EXPECT_FALSE(store->getTag(BLQTagKey::previewMode()));
}

// The tag changes of the host's own tags that the server received, as "code key=value" (the
// library's reserved tags left out).
std::multiset<std::string> hostTagChanges(testsupport::HostApp& app) {
    std::multiset<std::string> out;
    for (int64_t code : {8999, 8997}) {
        for (const auto& record : app.uploaded(code)) {
            const std::string key = record["key"].stringValue();
            if (key.rfind("kj_", 0) == 0 || key == BLQTagKey::sdkVersion() ||
                key == BLQTagKey::legacySdkVersion())
                continue;
            std::string value =
                record["string"].isNil() ? record["numeric"].description() : record["string"].stringValue();
            out.insert(std::to_string(code) + " " + key + "=" + value);
        }
    }
    return out;
}

TEST(TagsOfAStartedLibrary, ChangesUploadTheKeyAndValueTheyWereRecordedWithAndADeletionNone) {
    testsupport::HostApp app;
    app.launch();
    ASSERT_TRUE(app.start());
    app.settle();
    // A tag changed, and another set and removed, while their events wait for the upload.
    EXPECT_TRUE(app.facade->tagString("one", "plan"));
    EXPECT_TRUE(app.facade->tagString("two", "plan"));
    EXPECT_TRUE(app.facade->tagString("gold", "tier"));
    EXPECT_TRUE(app.facade->removeTag("tier"));
    ASSERT_TRUE(app.pumpUntil([&] { return hostTagChanges(app).size() >= 3 && !app.uploaded(8998).empty(); }))
        << "three tag changes and a deletion uploaded";
    app.settle();
    app.pumpUntil([] { return false; }, 1);  // time for an upload that would send one twice
    EXPECT_EQ(hostTagChanges(app),
              (std::multiset<std::string>{"8999 plan=one", "8999 plan=two", "8999 tier=gold"}));
    // The deletion goes out with no tag members; the device keeps the tag it deleted.
    for (const auto& record : app.uploaded(8998))
        for (const char* member : {"key", "string", "numeric", "datetime"})
            EXPECT_TRUE(record[member].isAbsent()) << member << " in " << record.description();
    bool kept = false;
    for (const auto& event : app.storedEvents(8998))
        kept |= event->message == "Deleted tag: tier" && event->tag && event->tag->key == "tier" &&
                event->tag->value == "gold";
    EXPECT_TRUE(kept) << "the stored deletion keeps tier=gold";
    EXPECT_EQ(app.facade->tagManager()->getTagValueWithKey("plan"), "two");
    EXPECT_FALSE(app.facade->tagManager()->getTagWithKey("tier"));
}

}  // namespace
}  // namespace brindlecue
