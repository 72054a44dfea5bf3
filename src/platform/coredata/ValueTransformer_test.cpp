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
