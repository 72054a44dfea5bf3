#include "storage/BLQCoreDataFeedDataStore.h"

#include <gtest/gtest.h>

#include "storage/BLQDeleteCondition.h"
#include "storage/BLQFeed.h"
#include "storage/BLQPersistentContainer.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

class FeedStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataFeedDataStore>(context);
    }
    std::shared_ptr<BLQCoreDataFeedDataStore> store;
};

TEST_F(FeedStoreTest, FeedsAreInsertedOnceAndFoundById) {
    auto feed = BLQFeed::create();
    context->performAndWait([&] {
        EXPECT_TRUE(store->getAllFeeds().empty());
        EXPECT_FALSE(store->getFeed("f1"));
        feed->setValue("id", "f1");
        store->saveFeed(feed);
        store->saveFeed(feed);
        EXPECT_EQ(feed->managedObjectContext(), context);
    });
    settle();
    context->performAndWait([&] {
        EXPECT_EQ(store->getAllFeeds().size(), 1u);
        EXPECT_EQ(store->getFeed("f1"), feed);
        // A feed of another context is refused rather than moved.
        auto other = BLQCoreData::sharedInstance().persistentContainer()->newBackgroundContext();
        auto foreign = other->performAndWait([&] { return other->template insertNewObject<BLQFeed>(BLQFeed::kEntityName); });
        store->saveFeed(foreign);
        EXPECT_EQ(store->getAllFeeds().size(), 1u);
    });
    EXPECT_EQ(logger->lines(), (std::vector<Line>{{"Feed: Couldn't find Feed with id: f1", 4},
                                                  {"Feed: Refused to save a Feed that belongs to another context", 5}}));
}

TEST_F(FeedStoreTest, ConditionsBelongToTheirOwnListAndEntity) {
    context->performAndWait([&] {
        auto feed = context->insertNewObject<BLQFeed>(BLQFeed::kEntityName);
        auto repeat = context->insertNewObject<BLQRepeatCondition>(BLQRepeatCondition::kEntityName);
        auto trigger = context->insertNewObject<BLQTriggerCondition>(BLQTriggerCondition::kEntityName);
        for (const auto& c : {std::static_pointer_cast<platform::ManagedObject>(repeat),
                              std::static_pointer_cast<platform::ManagedObject>(trigger)}) {
            c->setValue("type", "tag");
            c->setValue("op", "==");
            c->setValue("value", "1");
        }
        feed->addRelatedObject("repeatConditions", repeat);
        trigger->setRelatedObject("feed", feed);
        EXPECT_EQ(repeat->relatedObject("feed"), feed);
        EXPECT_TRUE(feed->relatedObjects("deleteConditions").empty());
        EXPECT_EQ(feed->relatedObjects("triggerConditions").size(), 1u);
        EXPECT_EQ(feed->relatedObjects("repeatConditions").size(), 1u);
        store->saveFeed(feed);
    });
    settle();
    context->performAndWait([&] {
        auto triggers = context->fetch(BLQTriggerCondition::fetchRequest());
        ASSERT_EQ(triggers->size(), 1u);
        EXPECT_TRUE(std::dynamic_pointer_cast<BLQTriggerCondition>(triggers->front()));
        // Deleting the feed takes its conditions with it.
        context->deleteObject(store->getAllFeeds().front());
        EXPECT_EQ(context->fetch(BLQRepeatCondition::fetchRequest())->size(), 0u);
    });
}

}  // namespace
}  // namespace brindlecue
