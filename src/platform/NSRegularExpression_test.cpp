#include "platform/NSRegularExpression.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/CaptureLogSink.h"

namespace brindlecue::platform {
namespace {

TEST(RegularExpression, FirstMatchCapturesCountsAndCase) {
    auto address =
        NSRegularExpression::regularExpressionWithPattern("\\s(\\w+);", NSRegularExpression::CaseInsensitive);
    ASSERT_TRUE(address);
    RegexText line("<UIButton: 0x1f; frame = (0 0; 10 10); text = 'é|x'>");
    auto match = address->firstMatchInString(line);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->group(0), " 0x1f;");
    EXPECT_EQ(match->group(1), "0x1f");
    EXPECT_FALSE(match->group(2));
    EXPECT_EQ(address->numberOfMatchesInString(line), 2u);

    auto hidden = NSRegularExpression::regularExpressionWithPattern("hidden\\s+=\\s+(YES);",
                                                                    NSRegularExpression::CaseInsensitive);
    EXPECT_EQ(hidden->firstMatchInString("a; Hidden  =  yes; b")->group(1), "yes");
    EXPECT_FALSE(NSRegularExpression::regularExpressionWithPattern("hidden = (YES);")
                     ->firstMatchInString("hidden = yes;"));
    // An optional group that took no part is none; the text after a multi-byte character is right.
    auto optional = NSRegularExpression::regularExpressionWithPattern("'é(\\|)?(x)?");
    auto parts = optional->firstMatchInString(line);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->group(1), "|");
    EXPECT_EQ(parts->group(2), "x");
    EXPECT_FALSE(
        NSRegularExpression::regularExpressionWithPattern("(a)?b")->firstMatchInString("b")->group(1));

    std::optional<Error> error;
    EXPECT_FALSE(NSRegularExpression::regularExpressionWithPattern("(unclosed", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 2048);
}

// A pattern that backtracks without end (here over a 64-letter text: 2^64 ways to split it) gives up
// within the work a search may take: nothing found, and the give-up logged with the pattern. The
// expression stays usable, and an ordinary search with it finds its match.
TEST(RegularExpression, ASearchThatBacktracksWithoutEndGivesUpAndFindsNothing) {
    CaptureLogSink logs;
    auto runaway = NSRegularExpression::regularExpressionWithPattern("(.*)+ontroller");
    ASSERT_TRUE(runaway);
    const RegexText letters(std::string(64, 'a'));
    EXPECT_FALSE(runaway->firstMatchInString(letters));
    EXPECT_EQ(runaway->numberOfMatchesInString(letters), 0u);
    EXPECT_EQ(logs.messages("RegularExpression"),
              std::vector<std::string>(2, "Search stopped: the pattern (.*)+ontroller took more work than a "
                                          "search may take; it finds nothing more"));

    auto match = runaway->firstMatchInString("HomeViewController");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->group(0), "HomeViewController");
    EXPECT_EQ(runaway->numberOfMatchesInString("AController BController"), 1u);
    EXPECT_EQ(logs.messages("RegularExpression").size(), 2u);
}

}  // namespace
}  // namespace brindlecue::platform
