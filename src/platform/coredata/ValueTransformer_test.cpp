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

// Archives come from the store's file: one that is not of this archiver, or whose objects are of
// a class it does not know, or whose dictionaries do not pair their keys and objects, reads as
// nothing rather than as part of what it holds.
TEST(ValueTransformer, ArchivesThatAreNotWhatThisArchiverWritesAreRefused) {
    SecureUnarchiveFromDataTransformer transformer;
    auto archive = [](Value top, const char* archiver = "BrindlecueKeyedArchiver") {
        Value root = Value::dictionary({{"$archiver", archiver}, {"$version", 1}, {"$top", std::move(top)}});
        return Value(*root.toPropertyList(PropertyListFormat::Binary));
    };
    auto dictionary = [](Value keys, Value objects) {
        return Value::dictionary({{"$class", "NSDictionary"}, {"NS.keys", std::move(keys)}, {"NS.objects", std::move(objects)}});
    };
    const Value good = dictionary(Value::array({"a"}), Value::array({1}));
    ASSERT_EQ(transformer.reverseTransformedValue(archive(good)), Value::dictionary({{"a", 1}}));

    const std::vector<std::pair<const char*, Value>> hostile = {
        {"another archiver", archive(good, "NSKeyedArchiver")},
        {"no top object", Value(*Value::dictionary({{"$archiver", "BrindlecueKeyedArchiver"}})
                                     .toPropertyList(PropertyListFormat::Binary))},
        {"a root that is no dictionary", Value(*Value::array({"BrindlecueKeyedArchiver"}).toPropertyList(
                                             PropertyListFormat::Binary))},
        {"an unknown class", archive(Value::dictionary({{"$class", "NSSet"}, {"NS.objects", Value::array({1})}}))},
        {"a dictionary without a class", archive(Value::dictionary({{"a", 1}}))},
        {"a class that is no text", archive(Value::dictionary({{"$class", 7}}))},
        {"keys without objects", archive(Value::dictionary({{"$class", "NSDictionary"}, {"NS.keys", Value::array({"a"})}}))},
        {"more keys than objects", archive(dictionary(Value::array({"a", "b"}), Value::array({1})))},
        {"keys that are no list", archive(dictionary(Value("a"), Value::array({1})))},
        {"a key that is no text", archive(dictionary(Value::array({5}), Value::array({1})))},
        {"a bad dictionary deep inside", archive(dictionary(
                                             Value::array({"list"}),
                                             Value::array({Value::array({1, Value::dictionary({{"$class", "NSSet"}})})})))},
        {"no data at all", Value("text")},
    };
    for (const auto& [what, bytes] : hostile) EXPECT_TRUE(transformer.reverseTransformedValue(bytes).isAbsent()) << what;

    // Null objects read as null, inside lists too.
    EXPECT_EQ(transformer.reverseTransformedValue(archive(dictionary(
                  Value::array({"n"}), Value::array({Value::array({Value::dictionary({{"$class", "NSNull"}})})})))),
              Value::dictionary({{"n", Value::array({nullptr})}}));
}
