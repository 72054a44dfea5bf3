#include "facade/BLQSessionManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

// A session store in memory: numbers sessions, answers the open one of an app key, and runs a
// creation's completion when the test lets it (the real store runs it later, on its queue).
class MemorySessionStore final : public BLQISessionDataStore {
public:
    void createSessionForInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                 std::function<void(CreateResult)> completion) override {
        std::lock_guard lock(mutex);
        pending.push_back([this, install, completion = std::move(completion)] {
            std::shared_ptr<BLQSessionDTO> made;
            {
                std::lock_guard lock(mutex);
                made = std::make_shared<BLQSessionDTO>(++lastId, platform::Date::now(), std::nullopt, install,
                                                       std::nullopt);
                rows.insert_or_assign(made->id, *made);
            }
            completion(made);
        });
    }
    std::shared_ptr<BLQSessionDTO> getSessionForAppKey(const std::string& appKey) override {
        std::lock_guard lock(mutex);
        ++lookups;
        for (const auto& [id, row] : rows)
            if (row.isOpen() && row.install && row.install->appKey == appKey)
                return std::make_shared<BLQSessionDTO>(row);
        return nullptr;
    }
    void saveSession(const std::shared_ptr<BLQSessionDTO>& session) override {
        std::lock_guard lock(mutex);
        saved.push_back(session);
        if (auto it = rows.find(session->id); it != rows.end()) it->second.endTime = session->endTime;
    }
    // Runs the creations asked for so far.
    void complete() {
        std::vector<std::function<void()>> run;
        {
            std::lock_guard lock(mutex);
            run.swap(pending);
        }
        for (auto& f : run) f();
    }

    std::mutex mutex;
    int64_t lastId = 0;
    std::map<int64_t, BLQSessionDTO> rows;
    std::vector<std::function<void()>> pending;
    std::vector<std::shared_ptr<BLQSessionDTO>> saved;
    int lookups = 0;
};

struct SessionScene {
    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<MemorySessionStore> store = std::make_shared<MemorySessionStore>();
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<BLQInstallDTO> install = std::make_shared<BLQInstallDTO>(
        "install-1", std::nullopt, "key-1", "3.0.3", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, std::nullopt, false, std::nullopt, std::nullopt,
        std::nullopt);
    std::shared_ptr<BLQSessionManager> manager = std::make_shared<BLQSessionManager>(store, details);
    SessionScene() { details->setAppKey("key-1"); }
};

// Events ask for the current session one by one; the manager answers from what it knows (the
// session it opened, none after it closed one) and asks the store only the first time.
TEST(BLQSessionManager, AnswersTheCurrentSessionFromMemoryAfterTheFirstQuestion) {
    SessionScene scene;
    // A session an earlier process left open is found by the first question.
    scene.store->rows.insert_or_assign(
        7, BLQSessionDTO(7, platform::Date::now(), std::nullopt, scene.install, std::nullopt));
    scene.store->lastId = 7;
    auto left = scene.manager->getCurrentSession();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->id, 7);
    EXPECT_EQ(scene.manager->getCurrentSession(), left);
    EXPECT_EQ(scene.store->lookups, 1);

    std::shared_ptr<BLQSessionDTO> created;
    scene.manager->createNewSession(
        scene.install, [&](std::shared_ptr<BLQSessionDTO> s) { created = s; }, nullptr);
    EXPECT_TRUE(
        scene.logs->contains("Session: Found open session: 7, closing session and creating a new one", 2));
    // Closed at once: until the store has made the next one there is no open session.
    EXPECT_FALSE(scene.manager->isSessionStarted());
    EXPECT_FALSE(scene.manager->getCurrentSession());
    ASSERT_EQ(scene.store->saved.size(), 1u);
    EXPECT_EQ(scene.store->saved[0]->id, 7);
    EXPECT_TRUE(scene.store->saved[0]->endTime);
    EXPECT_FALSE(left->endTime) << "a record handed out before stays as it was";

    scene.store->complete();
    ASSERT_TRUE(created);
    EXPECT_EQ(created->id, 8);
    EXPECT_TRUE(scene.manager->isSessionStarted());
    for (int i = 0; i < 100; ++i) EXPECT_EQ(scene.manager->getCurrentSession(), created);
    EXPECT_EQ(scene.store->lookups, 1);

    scene.manager->closeCurrentSession();
    EXPECT_TRUE(scene.logs->contains("Session: Closing session: 8", 2));
    EXPECT_FALSE(scene.manager->getCurrentSession());
    EXPECT_FALSE(scene.store->rows.at(8).isOpen());
    // Nothing open: closing again changes and logs nothing.
    scene.logs->clear();
    scene.manager->closeCurrentSession();
    EXPECT_TRUE(scene.logs->lines().empty());
    EXPECT_EQ(scene.store->saved.size(), 2u);
    EXPECT_EQ(scene.store->lookups, 1);
}

TEST(BLQSessionManager, WithoutAnAppKeyThereIsNoSessionAndAnotherKeyIsAskedOfTheStore) {
    SessionScene scene;
    scene.details->setAppKey(std::nullopt);
    EXPECT_FALSE(scene.manager->getCurrentSession());
    EXPECT_TRUE(scene.logs->contains("Session: No appKey found yet", 4));
    EXPECT_EQ(scene.store->lookups, 0);

    // A creation started without a key is not remembered: the next question asks the store.
    scene.manager->createNewSession(scene.install, nullptr, nullptr);
    scene.store->complete();
    scene.details->setAppKey("key-1");
    auto found = scene.manager->getCurrentSession();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, 1);
    EXPECT_EQ(scene.store->lookups, 1);

    scene.details->setAppKey("key-2");
    EXPECT_FALSE(scene.manager->getCurrentSession());
    EXPECT_EQ(scene.store->lookups, 2);
}

// A caller that saves the open session with an end time has closed it.
TEST(BLQSessionManager, SavingTheOpenSessionWithAnEndTimeForgetsIt) {
    SessionScene scene;
    scene.manager->createNewSession(scene.install, nullptr, nullptr);
    scene.store->complete();
    auto open = scene.manager->getCurrentSession();
    ASSERT_TRUE(open);
    auto closed = std::make_shared<BLQSessionDTO>(*open);
    closed->endTime = platform::Date::now();
    scene.manager->saveSession(closed);
    EXPECT_FALSE(scene.manager->getCurrentSession());
    EXPECT_EQ(scene.store->lookups, 1);
}

TEST(BLQSessionManager, AskingForTheOpenSessionOfAnAppKeyGoesToTheStoreAndSaysWhatItFound) {
    SessionScene scene;
    EXPECT_FALSE(scene.manager->getSessionForAppKey("key-1"));
    EXPECT_TRUE(scene.logs->contains("Session: didn't find an open session", 2));
    scene.manager->createNewSession(scene.install, nullptr, nullptr);
    scene.store->complete();
    const int before = scene.store->lookups;
    auto found = scene.manager->getSessionForAppKey("key-1");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, 1);
    EXPECT_TRUE(scene.logs->contains("Session: found session: 1", 2));
    EXPECT_EQ(scene.store->lookups, before + 1) << "asked of the store, not of memory";
    EXPECT_FALSE(scene.manager->getSessionForAppKey("key-2"));
}

}  // namespace
}  // namespace brindlecue
