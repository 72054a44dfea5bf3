#include "platform/KeyedArchiver.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

TEST(KeyedArchiver, RoundTripsEveryKindKeepingKeyOrder) {
    Value root = Value::dictionary({
        {"z", "text"},
        {"a", Value::null()},
        {"flag", true},
        {"count", -42},
        {"ratio", 0.5},
        {"when", Date::fromTimeIntervalSince1970(1718459130.25)},
        {"bytes", Data{0, 1, 255}},
        {"list", Value::array({1, "two", Value::array(), Value::dictionary()})},
    });
    auto back = KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, root);
    EXPECT_EQ(back->getDictionary()->keys(), root.getDictionary()->keys());
    EXPECT_TRUE((*back)["count"].isInteger());
    EXPECT_TRUE((*back)["flag"].isBool());

    auto nil = KeyedArchiver::unarchiveObject(KeyedArchiver::archivedData(Value()));
    ASSERT_TRUE(nil);
    EXPECT_TRUE(nil->isAbsent());
}

TEST(KeyedArchiver, RefusesWhatIsNotAnArchive) {
    EXPECT_EQ(KeyedArchiver::unarchiveObject({}), std::nullopt);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(Data{'n', 'o', 't'}), std::nullopt);
    auto plain = Value::dictionary({{"a", 1}}).toPropertyList(PropertyListFormat::Binary);
    EXPECT_EQ(KeyedArchiver::unarchiveObject(*plain), std::nullopt);
}

}  // namespace
}  // namespace brindlecue::platform
