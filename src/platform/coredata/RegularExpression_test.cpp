#include "platform/coredata/RegularExpression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CaptureLogSink.h"

namespace brindlecue::platform {
namespace {

// MATCHES with a pattern that backtracks without end against a long text gives up within the
// work a search may take: the text does not match, and the give-up is logged with the pattern.
TEST(RegularExpressionMatches, APatternThatBacktracksWithoutEndDoesNotMatch) {
    CaptureLogSink logs;
    auto runaway = RegularExpression::compile("(a|aa)+b");
    ASSERT_TRUE(runaway);
    EXPECT_FALSE(runaway->matchesWhole(std::string(64, 'a')));
    EXPECT_EQ(logs.messages("CoreData"),
              std::vector<std::string>{"MATCHES stopped: the pattern (a|aa)+b took more work than a search "
                                       "may take; the text does not match"});
    EXPECT_TRUE(runaway->matchesWhole("aaab"));
    EXPECT_FALSE(runaway->matchesWhole("aaa"));
    EXPECT_EQ(logs.messages("CoreData").size(), 1u);
}

}  // namespace
}  // namespace brindlecue::platform
