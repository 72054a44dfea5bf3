#include "platform/coredata/ManagedObjectKey.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/coredata/EntityDescription.h"

namespace brindlecue::platform {
namespace {

// A kept key remembers one entity's index at a time: used with entities whose layouts differ, as
// attribute and as relationship, and after an entity gains a name, it answers what a lookup by
// name answers.
TEST(ManagedObjectKey, AnswersAsTheLookupByNameInEveryEntityItMeets) {
    static constinit const ManagedObjectKey status{"status"};
    EntityDescription a("A");
    a.addAttribute("id", AttributeType::String).addAttribute("status", AttributeType::Integer64);
    EntityDescription b("B");
    b.addAttribute("status", AttributeType::Integer64);
    EntityDescription none("None");
    none.addAttribute("id", AttributeType::String);

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(status.attributeIndex(a), 1);
        EXPECT_EQ(status.attributeIndex(b), 0);
        EXPECT_EQ(status.attributeIndex(none), -1);
        EXPECT_EQ(status.relationshipIndex(a), -1);
    }

    // A name added again moves the answer to its later place; one added where it was missing is found.
    a.addAttribute("status", AttributeType::String);
    EXPECT_EQ(status.attributeIndex(a), 2);
    none.addAttribute("other", AttributeType::String).addAttribute("status", AttributeType::String);
    EXPECT_EQ(status.attributeIndex(none), 2);

    // The same key as a relationship's name, and an attribute of that name in another entity.
    EntityDescription c("C");
    c.addAttribute("x", AttributeType::String).addToOneRelationship("status", "B", "owners");
    EXPECT_EQ(status.relationshipIndex(c), 0);
    EXPECT_EQ(status.attributeIndex(c), -1);
    EXPECT_EQ(status.attributeIndex(b), 0);
    EXPECT_EQ(status.relationshipIndex(c), 0);

    // A copy of an entity keeps its layout; a changed copy is its own.
    EntityDescription copy = b;
    EXPECT_EQ(status.attributeIndex(copy), 0);
    copy.addAttribute("status", AttributeType::String);
    EXPECT_EQ(status.attributeIndex(copy), 1);
    EXPECT_EQ(status.attributeIndex(b), 0);

    // A key made from a text for one call.
    const std::string name = "id";
    EXPECT_EQ(ManagedObjectKey(name).attributeIndex(a), 0);
}

// One key used on several threads, each with its own entity, never answers for another's.
TEST(ManagedObjectKey, ThreadsWithTheirOwnEntitiesShareOneKey) {
    static constinit const ManagedObjectKey code{"code"};
    std::vector<EntityDescription> entities;
    for (int t = 0; t < 4; ++t) {
        entities.emplace_back("E" + std::to_string(t));
        for (int i = 0; i < t; ++i)
            entities.back().addAttribute("pad" + std::to_string(i), AttributeType::String);
        entities.back().addAttribute("code", AttributeType::Integer64);
    }
    std::vector<int> wrong(entities.size(), 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < entities.size(); ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i)
                if (code.attributeIndex(entities[t]) != static_cast<int>(t)) ++wrong[t];
        });
    for (auto& thread : threads) thread.join();
    for (size_t t = 0; t < entities.size(); ++t) EXPECT_EQ(wrong[t], 0) << t;
}

}  // namespace
}  // namespace brindlecue::platform
