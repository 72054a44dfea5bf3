#include "platform/coredata/EntityDescription.h"

#include <gtest/gtest.h>

#include <string>

namespace brindlecue::platform {
namespace {

// Names that share their length and first bytes, names of exactly the bytes a short name is told
// apart by, an empty name and bytes above 0x7f: each is found at its own index, and a name that was
// never added is not found.
TEST(EntityDescription, NamesAlikeInLengthAndFirstBytesAreToldApart) {
    const std::vector<std::string> names = {"modifiedDate", "modifiedData", "created", "createdX", "a",
                                            "",             "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa8", "b"};
    EntityDescription few("Few");
    for (const auto& n : names) few.addAttribute(n, AttributeType::String);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(few.attributeIndex(names[i]), static_cast<int>(i)) << i;
    for (const char* absent : {"modifiedDat", "modifiedDatex", "create", "createdY", "c", "\xc3\xa9t"})
        EXPECT_EQ(few.attributeIndex(absent), -1) << absent;
    // A view into a longer text reads only its own bytes.
    const std::string longer = "createdXYZ";
    EXPECT_EQ(few.attributeIndex(std::string_view(longer).substr(0, 7)), 2);
    EXPECT_EQ(few.attributeIndex(std::string_view(longer).substr(0, 8)), 3);

    // Past the few an entity keeps in its table, the names are hashed: the same answers, for the
    // names added before the table filled and after.
    EntityDescription many("Many");
    for (int i = 0; i < 30; ++i) many.addAttribute("extra" + std::to_string(i), AttributeType::Integer64);
    for (const auto& n : names) many.addAttribute(n, AttributeType::String);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(many.attributeIndex("extra" + std::to_string(i)), i) << i;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(many.attributeIndex(names[i]), static_cast<int>(i) + 30) << i;
    EXPECT_EQ(many.attributeIndex("createdY"), -1);

    few.addToOneRelationship("session", "Session", "events");
    few.addToOneRelationship("sessionX", "Session", "others");
    EXPECT_EQ(few.relationshipIndex("session"), 0);
    EXPECT_EQ(few.relationshipIndex("sessionX"), 1);
    EXPECT_EQ(few.relationshipIndex("sessionY"), -1);
    EXPECT_EQ(few.relationship("sessionX")->inverseName, "others");
}

// A name added twice is found at its later place, as a model that redeclares it means.
TEST(EntityDescription, TheLastOfEqualNamesWins) {
    EntityDescription entity("E");
    entity.addAttribute("status", AttributeType::Integer64).addAttribute("id", AttributeType::String);
    entity.addAttribute("status", AttributeType::String);
    EXPECT_EQ(entity.attributeIndex("status"), 2);
    EXPECT_EQ(entity.attribute("status")->type, AttributeType::String);

    // The same once the names outgrow the table: the last place of a name redeclared before the
    // table filled, and of one redeclared after.
    for (int i = 3; i < 40; ++i) entity.addAttribute("extra" + std::to_string(i), AttributeType::Integer64);
    entity.addAttribute("id", AttributeType::Integer64);
    EXPECT_EQ(entity.attributeIndex("status"), 2);
    EXPECT_EQ(entity.attributeIndex("id"), 40);
    EXPECT_EQ(entity.attribute("id")->type, AttributeType::Integer64);
}

}  // namespace
}  // namespace brindlecue::platform
