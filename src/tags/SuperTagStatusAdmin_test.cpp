#include "tags/SuperTagStatusAdmin.h"

#include <gtest/gtest.h>

#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

TEST(SuperTagStatusAdmin, FiltersAreRegularExpressionsAndAnInvalidOneMatchesNothing) {
    auto logger = testsupport::RecordingLoggerManager::install();
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("(.*)", "x"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("^Home", "HomeViewController"));
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("^Home", "MyHomeViewController"));
    EXPECT_EQ(logger->count("Tag: "), 0u);

    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("(Home", "Home"));
    EXPECT_EQ(
        logger->linesStartingWith("Tag: Super-tag filter is not a valid regular expression"),
        (std::vector<testsupport::LogLine>{
            {"Tag: Super-tag filter is not a valid regular expression, nothing passes it: (Home, error: "
             "U_REGEX_MISMATCHED_PAREN",
             4}}));
}

// A filter from the server that backtracks without end against a long text lets nothing pass,
// after the work a search may take, and says so; it does not hold the thread that tags.
TEST(SuperTagStatusAdmin, AFilterThatBacktracksWithoutEndLetsNothingPass) {
    auto logger = testsupport::RecordingLoggerManager::install();
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("(.*)+ontroller", std::string(64, 'a')));
    EXPECT_EQ(logger->linesStartingWith("Tag: "),
              (std::vector<testsupport::LogLine>{
                  {"Tag: Super-tag filter takes too long to match, nothing passes it: (.*)+ontroller", 4}}));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("(.*)+ontroller", "HomeViewController"));
}


TEST(SuperTagStatusAdmin, LevelsTurnViewAndClickCountingOn) {
    for (const char* type : {"View", "Click", "Other"}) EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagEnabled("all", type));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagEnabled("enabled", "View"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagEnabled("enabled", "Click"));
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagEnabled("enabled", "click"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagEnabled("no_clicks", "View"));
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagEnabled("no_clicks", "Click"));
    for (const char* level : {"disabled", "All", ""}) EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagEnabled(level, "View"));
}

}  // namespace
}  // namespace brindlecue
