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

}  // namespace
}  // namespace brindlecue
