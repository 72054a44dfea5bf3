#include "feed/KJDocumentReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindlecue {
namespace {

using platform::Value;

// Keys of every length up to 24 (the lengths the comparison reads in bytes, half words, two
// overlapping words and longer) and a hundred more, so that the bits of the keys held cover
// nearly all the reader's bits and every lookup compares keys.
std::vector<std::string> manyKeys() {
    std::vector<std::string> keys;
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    for (size_t length = 1; length <= 24; ++length) keys.push_back(letters.substr(0, length));
    for (int i = 0; i < 100; ++i) keys.push_back("field-" + std::to_string(i));
    return keys;
}

TEST(KJDocumentReader, FindsExactlyTheKeysHeld) {
    const std::vector<std::string> keys = manyKeys();
    platform::Dictionary entries;
    for (size_t i = 0; i < keys.size(); ++i) entries.set(keys[i], Value(static_cast<int64_t>(i)));
    const Value object(std::move(entries));
    KJDocumentReader in(object, "Test");

    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(in.integer(keys[i]), static_cast<int64_t>(i)) << keys[i];
        EXPECT_TRUE(in.has(keys[i])) << keys[i];
        // The same length with one byte other, at each place: not there.
        for (size_t at = 0; at < keys[i].size(); ++at) {
            std::string other = keys[i];
            other[at] = 'Z';
            EXPECT_TRUE(in.value(other).isAbsent()) << other;
            EXPECT_FALSE(in.has(other)) << other;
        }
        // A key held with a byte more or less is another key.
        EXPECT_FALSE(in.has(keys[i] + "a")) << keys[i];
    }
    EXPECT_FALSE(in.has(""));

    // Nothing is held by what is no dictionary.
    const Value list = Value::array({Value("a"), Value("b")});
    KJDocumentReader overList(list, "Test");
    EXPECT_FALSE(overList.has("a"));
    EXPECT_TRUE(overList.value("a").isAbsent());
}

TEST(KJDocumentReader, EntriesGivenOverTheObjectTakeThePlaceOfItsOwn) {
    const Value object = Value::dictionary({{"width", Value(10)}, {"text", Value("Next")}});
    const platform::Dictionary::Entry given[] = {{"width", Value("50%")}, {"containerWidth", Value(320)}};
    KJDocumentReader in(object, given, "Test");
    EXPECT_EQ(in.textOrEmpty("width"), "50%");
    EXPECT_EQ(in.integer("containerWidth"), 320);
    EXPECT_TRUE(in.has("containerWidth"));
    EXPECT_EQ(in.textOrEmpty("text"), "Next");
    EXPECT_FALSE(in.has("containerHeight"));
    EXPECT_TRUE(in.value("containerHeight").isAbsent());
}

}  // namespace
}  // namespace brindlecue
