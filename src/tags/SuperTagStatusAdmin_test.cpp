#include "tags/SuperTagStatusAdmin.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

TEST(SuperTagStatusAdmin, LevelsPassTheirTypesExactly) {
    struct Row {
        const char* level;
        bool view, click, other;
    };
    for (const Row& row : {Row{"all", true, true, true}, Row{"enabled", true, true, false},
                           Row{"no_clicks", true, false, false}, Row{"disabled", false, false, false},
                           Row{"", false, false, false}, Row{"Enabled", false, false, false}}) {
        EXPECT_EQ(SuperTagStatusAdmin::isSuperTagEnabled(row.level, "View"), row.view) << row.level;
        EXPECT_EQ(SuperTagStatusAdmin::isSuperTagEnabled(row.level, "Click"), row.click) << row.level;
        EXPECT_EQ(SuperTagStatusAdmin::isSuperTagEnabled(row.level, "view"), row.other) << row.level;
    }
}

TEST(SuperTagStatusAdmin, FilterSearchesAnywhereInTheText) {
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("(.*)", "HomeViewController"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("View", "HomeViewController"));
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("^View", "HomeViewController"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("Contr.ller$", "HomeViewController"));
    EXPECT_TRUE(SuperTagStatusAdmin::isSuperTagFilterMatch("^Caf.$", "Café"));  // characters, not bytes
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("[", "["));
    EXPECT_FALSE(SuperTagStatusAdmin::isSuperTagFilterMatch("", "Home"));
}

}  // namespace
}  // namespace brindlecue
