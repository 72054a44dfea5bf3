#include "storage/BLQCoreData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <future>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/AppContainer.h"
#include "platform/coredata/ValueTransformer.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQConfigSetting.h"
#include "storage/BLQPersistentContainer.h"
#include "storage/BLQTag.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;
using platform::Value;

class BLQCoreDataTest : public testing::StoreTest {
protected:
    std::vector<std::shared_ptr<BLQConfigSetting>> settingsIn(const std::shared_ptr<platform::ManagedObjectContext>& c) {
        std::vector<std::shared_ptr<BLQConfigSetting>> out;
        c->performAndWait([&] {
            auto found = c->fetch(BLQConfigSetting::fetchRequest());
            for (auto& o : *found) out.push_back(std::dynamic_pointer_cast<BLQConfigSetting>(o));
        });
        return out;
    }
};

TEST_F(BLQCoreDataTest, FirstLaunchSeedsTheDebugLogLevelOnlyIntoAnEmptyTable) {
    auto settings = settingsIn(mainContext());
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0]->key(), "BLQ_CONFIG_DEBUG_LOG_LEVEL");
    EXPECT_EQ(settings[0]->valueText(), "2");
    EXPECT_EQ(settings[0]->createdDate(), Date::now());
    EXPECT_FALSE(settings[0]->modifiedDate());

    // A later launch over a table whose one setting has another key writes nothing.
    context->performAndWait([&] {
        auto setting = std::dynamic_pointer_cast<BLQConfigSetting>(context->fetch(BLQConfigSetting::fetchRequest())->front());
        setting->setKey(std::string("BLQ_CONFIG_APP_KEY"));
        ASSERT_TRUE(context->save());
    });
    BLQCoreData::sharedInstance().setPersistentContainer(nullptr);
    auto relaunched = BLQCoreData::sharedInstance().persistentContainer();
    settings = settingsIn(relaunched->viewContext());
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0]->key(), "BLQ_CONFIG_APP_KEY");
}

TEST_F(BLQCoreDataTest, SaveContextStampsAuditDatesOfInsertedAndUpdatedObjects) {
    Date inserted = Date::now();
    std::shared_ptr<BLQTag> kept, cleared;
    context->performAndWait([&] {
        kept = context->insertNewObject<BLQTag>(BLQTag::kEntityName);
        cleared = context->insertNewObject<BLQTag>(BLQTag::kEntityName);
        cleared->setCreatedDate(std::nullopt);
    });
    Clock::advance(5);
    // Holding the context's queue shows that saveContext returns before anything is written.
    std::promise<void> release;
    context->perform([gate = release.get_future().share()] { gate.wait(); });
    EXPECT_TRUE(BLQCoreData::sharedInstance().saveContext());
    EXPECT_FALSE(kept->modifiedDate());
    EXPECT_TRUE(kept->isInserted());
    release.set_value();
    settle();
    context->performAndWait([&] {
        EXPECT_EQ(kept->createdDate(), inserted);
        EXPECT_EQ(kept->modifiedDate(), inserted.addingTimeInterval(5));
        EXPECT_EQ(cleared->createdDate(), inserted.addingTimeInterval(5));
        EXPECT_EQ(cleared->modifiedDate(), inserted.addingTimeInterval(5));
        EXPECT_FALSE(context->hasChanges());
        kept->setValueText("changed");
    });
    Clock::advance(7);
    BLQCoreData::sharedInstance().saveContext();
    settle();
    context->performAndWait([&] {
        EXPECT_EQ(kept->createdDate(), inserted);
        EXPECT_EQ(kept->modifiedDate(), inserted.addingTimeInterval(12));
    });
}

TEST_F(BLQCoreDataTest, BackgroundSavesReachTheMainContextOnlyThroughTheMainQueueMerge) {
    auto seeded = settingsIn(mainContext()).front();
    context->performAndWait([&] {
        auto setting = std::dynamic_pointer_cast<BLQConfigSetting>(context->fetch(BLQConfigSetting::fetchRequest())->front());
        setting->setValueText(std::string("5"));
    });
    BLQCoreData::sharedInstance().saveContext();
    for (int i = 0; i < 3; ++i) context->performAndWait([] {});
    EXPECT_EQ(seeded->valueText(), "2");
    platform::RunLoop::main().runUntilIdle();
    EXPECT_EQ(seeded->valueText(), "5");
    EXPECT_TRUE(seeded->modifiedDate());
}

TEST_F(BLQCoreDataTest, TheModelIsFoundByNameAndTheDictionaryTransformerRefusesOtherArchives) {
    auto container = BLQCoreData::sharedInstance().persistentContainer();
    EXPECT_EQ(container->name(), "Brindlecue");
    EXPECT_EQ(container->managedObjectModel(), BLQPersistentContainer::brindlecueModel());
    EXPECT_EQ(container->managedObjectModel()->entities().size(), 9u);
    EXPECT_EQ(BLQCoreData::sharedInstance().backgroundContext(), context);

    auto transformer = platform::ValueTransformer::valueTransformerForName("DictionaryTransformer");
    ASSERT_TRUE(std::dynamic_pointer_cast<const DictionaryTransformer>(transformer));
    Value dictionary = Value::dictionary({{"feed_id", 12}, {"status", "ok"}});
    EXPECT_EQ(transformer->reverseTransformedValue(transformer->transformedValue(dictionary)), dictionary);
    platform::SecureUnarchiveFromDataTransformer anything;
    Value archivedList = anything.transformedValue(Value::array({1, 2}));
    ASSERT_TRUE(archivedList.isData());
    EXPECT_TRUE(transformer->reverseTransformedValue(archivedList).isAbsent());
}

constexpr const char* kWriterRoot = "BRINDLECUE_DURABILITY_ROOT";
constexpr const char* kWriterPipe = "BRINDLECUE_DURABILITY_PIPE";

// The child of the test below: creates one user event in the given app container, writes its id
// to the pipe from the completion, and waits to be killed. Skipped when run on its own.
TEST(BLQCoreDataDurability, Writer) {
    const char* root = std::getenv(kWriterRoot);
    const char* pipeFd = std::getenv(kWriterPipe);
    if (root == nullptr || pipeFd == nullptr) GTEST_SKIP() << "runs as the child of the durability test";
    platform::AppContainer::setRoot(root);
    DictionaryTransformer::registerDictionaryTransformer();
    auto store = std::make_shared<BLQCoreDataUserEventDataStore>(BLQCoreData::sharedInstance().backgroundContext());
    int out = std::atoi(pipeFd);
    store->createUserEventObject([out](const BLQIUserEventDataStore::CreateResult& result) {
        const std::string& id = *std::get<std::shared_ptr<BLQUserEventDTO>>(result)->id;
        if (write(out, id.data(), id.size()) != static_cast<ssize_t>(id.size())) _exit(3);
    });
    for (;;) pause();
}

// A save whose completion has run is in the store: a process killed right after the completion
// leaves the event behind for the next launch.
TEST(BLQCoreDataDurability, ASaveWhoseCompletionRanSurvivesAKill) {
    std::string root = platform::AppContainer::root().string();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A fresh image: the parent's worker threads do not exist in a forked child.
        close(fds[0]);
        setenv(kWriterRoot, root.c_str(), 1);
        setenv(kWriterPipe, std::to_string(fds[1]).c_str(), 1);
        execl("/proc/self/exe", "storage_tests", "--gtest_filter=BLQCoreDataDurability.Writer", nullptr);
        _exit(127);
    }
    close(fds[1]);
    char id[36];
    size_t got = 0;
    while (got < sizeof id) {
        ssize_t n = read(fds[0], id + got, sizeof id - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);
    ASSERT_EQ(got, sizeof id) << "the child wrote no event id";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    auto store = std::make_shared<BLQCoreDataUserEventDataStore>(BLQCoreData::sharedInstance().backgroundContext());
    auto event = store->getUserEvent(std::string(id, sizeof id));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->status, BLQUserEventStatus::unsent);
}

}  // namespace
}  // namespace brindlecue
