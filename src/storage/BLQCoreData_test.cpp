#include "storage/BLQCoreData.h"

#include <gtest/gtest.h>

#include <future>

#include "platform/coredata/ValueTransformer.h"
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

}  // namespace
}  // namespace brindlecue
