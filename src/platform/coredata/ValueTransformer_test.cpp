#include <gtest/gtest.h>

#include "platform/coredata/SecureUnarchiveFromDataTransformer.h"
#include "platform/coredata/TestModel_test.h"
#include "platform/coredata/ValueTransformer.h"

using namespace brindlecue::platform;
using namespace brindlecue::platform::testing;

TEST(ValueTransformer, RegistryFindsTransformersByName) {
    EXPECT_EQ(ValueTransformer::valueTransformerForName("RegistryTest"), nullptr);
    auto transformer = std::make_shared<TestDictionaryTransformer>();
    ValueTransformer::setValueTransformer(transformer, "RegistryTest");
    EXPECT_EQ(ValueTransformer::valueTransformerForName("RegistryTest"), transformer);
    ValueTransformer::setValueTransformer(nullptr, "RegistryTest");
    EXPECT_EQ(ValueTransformer::valueTransformerForName("RegistryTest"), nullptr);
}

TEST(ValueTransformer, DictionaryArchiveRoundTripsAndRefusesOtherKinds) {
    TestDictionaryTransformer transformer;
    Value dictionary =
        Value::dictionary({{"z", 1},
                           {"a", nullptr},
                           {"nested", Value::dictionary({{"$class", "looks like a marker"}})},
                           {"list", Value::array({true, 2.5, Date::fromTimeIntervalSince1970(5)})}});
    Value stored = transformer.transformedValue(dictionary);
    ASSERT_TRUE(stored.isData());
    Value back = transformer.reverseTransformedValue(stored);
    EXPECT_EQ(back, dictionary);
    EXPECT_EQ(back.getDictionary()->keys(), (std::vector<std::string>{"z", "a", "nested", "list"}));
    EXPECT_TRUE(back["a"].isNull());

    // An archive of an array is readable by the general transformer but not by the dictionary one.
    Value array = SecureUnarchiveFromDataTransformer().transformedValue(Value::array({1}));
    EXPECT_EQ(SecureUnarchiveFromDataTransformer().reverseTransformedValue(array), Value::array({1}));
    EXPECT_TRUE(transformer.reverseTransformedValue(array).isAbsent());

    // Data that is no archive at all, and a plain property list, read as nothing.
    EXPECT_TRUE(transformer.reverseTransformedValue(Value::data("junk", 4)).isAbsent());
    auto plain = Value::dictionary({{"k", 1}}).toPropertyList(PropertyListFormat::Binary);
    EXPECT_TRUE(transformer.reverseTransformedValue(Value(*plain)).isAbsent());
    EXPECT_TRUE(transformer.transformedValue(Value()).isAbsent());
}

// The archive's layout is the one stored by earlier versions: those archives still read, and the
// archives written now are the same property list.
TEST(ValueTransformer, ArchivesKeepTheLayoutStoredBefore) {
    SecureUnarchiveFromDataTransformer transformer;
    Value details = Value::dictionary(
        {{"feed_id", "f1"},
         {"status", 1},
         {"ratio", 0.1},
         {"gone", nullptr},
         {"text", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
         {"steps", Value::array({Value::dictionary({{"n", -7}}), Value::data("\x01", 1)})}});
    auto nsDictionary = [](std::initializer_list<std::pair<std::string, Value>> entries) {
        Array keys, objects;
        for (const auto& [key, value] : entries) {
            keys.push_back(Value(key));
            objects.push_back(value);
        }
        return Value::dictionary({{"$class", "NSDictionary"},
                                  {"NS.keys", Value(std::move(keys))},
                                  {"NS.objects", Value(std::move(objects))}});
    };
    Value layout = Value::dictionary(
        {{"$archiver", "BrindlecueKeyedArchiver"},
         {"$version", 1},
         {"$top",
          nsDictionary({{"feed_id", "f1"},
                        {"status", 1},
                        {"ratio", 0.1},
                        {"gone", Value::dictionary({{"$class", "NSNull"}})},
                        {"text", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
                        {"steps", Value::array({nsDictionary({{"n", -7}}), Value::data("\x01", 1)})}})}});

    Value written = transformer.transformedValue(details);
    ASSERT_TRUE(written.isData());
    EXPECT_EQ(Value::fromPropertyList(*written.getData()), layout);

    auto earlier = layout.toPropertyList(PropertyListFormat::Binary);
    ASSERT_TRUE(earlier);
    EXPECT_EQ(transformer.reverseTransformedValue(Value(*earlier)), details);
}
