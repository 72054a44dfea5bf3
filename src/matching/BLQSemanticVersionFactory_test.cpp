#include "matching/BLQSemanticVersionFactory.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

// "major.minor.patch+metadata" of the parsed text, or "none".
std::string parsed(const std::string& text) {
    auto v = BLQSemanticVersionFactory::create(text);
    if (!v) return "none";
    return std::to_string(v->major.value) + "." + std::to_string(v->minor.value) + "." +
           std::to_string(v->patch.value) + "+" + v->buildMetadata.value;
}

TEST(BLQSemanticVersionFactory, ReadsLenientlyAndRefusesOnlyEmptyTextsAndMoreThanThreeParts) {
    EXPECT_EQ(parsed("v1.2.3"), "1.2.3+");
    EXPECT_EQ(parsed("V1.2.3"), "0.2.3+");
    EXPECT_EQ(parsed("1..2"), "1.2.0+");
    EXPECT_EQ(parsed("1.2.3-beta"), "1.2.0+");
    EXPECT_EQ(parsed("+7.-2"), "7.-2.0+");
    EXPECT_EQ(parsed("2.4.1+build.7"), "2.4.1+build.7");
    EXPECT_EQ(parsed("1.10.10"), "1.10.10+");
    EXPECT_EQ(parsed("2024.12.31+1234567"), "2024.12.31+1234567");
    for (const char* text : {"", "..v.", "1.2.+", "1.2.3.4", "1.2.3.4+5"})
        EXPECT_EQ(parsed(text), "none") << text;
}

TEST(BLQSemanticVersion, OrdersByPartsThenBuildMetadata) {
    auto v = [](const char* text) { return *BLQSemanticVersionFactory::create(text); };
    EXPECT_LT(v("1.2.3"), v("1.2.10"));
    EXPECT_GT(v("1.10.0"), v("1.9.9"));
    EXPECT_EQ(v("1.2.3"), v("v1.2.3"));
    EXPECT_GT(v("1.2.3+1"), v("1.2.3"));
    EXPECT_LT(v("1.2.3+2"), v("1.2.3+10"));
    EXPECT_EQ(v("1.2.3+007"), v("1.2.3+7"));
    EXPECT_LT(v("1.2.3+10a"), v("1.2.3+9a"));
    // Canonically equivalent metadata: a precomposed "é" and "e" with a combining accent.
    EXPECT_EQ(v("1.0.0+caf\xC3\xA9"), v("1.0.0+cafe\xCC\x81"));
}

}  // namespace
}  // namespace brindlecue
