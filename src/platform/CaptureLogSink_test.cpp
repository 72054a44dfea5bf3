#include "platform/CaptureLogSink.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/SystemLog.h"

namespace brindlecue::platform {
namespace {

TEST(CaptureLogSink, RecordsEntriesAndRestoresThePreviousSink) {
    SystemLog log("com.brindlecue", "BrindlecueSDK");
    CaptureLogSink outer;
    log.log(LogType::Info, "before");
    {
        CaptureLogSink inner;
        log.log(LogType::Fault, "inside");
        SystemLog("com.other", "Other").log(LogType::Debug, "elsewhere");

        auto entries = inner.entries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].subsystem, "com.brindlecue");
        EXPECT_EQ(entries[0].category, "BrindlecueSDK");
        EXPECT_EQ(entries[0].type, LogType::Fault);
        EXPECT_EQ(entries[0].message, "inside");
        EXPECT_EQ(inner.messages("BrindlecueSDK"), std::vector<std::string>{"inside"});
        EXPECT_EQ(inner.messages(), (std::vector<std::string>{"inside", "elsewhere"}));
    }
    log.log(LogType::Error, "after");
    EXPECT_EQ(outer.messages(), (std::vector<std::string>{"before", "after"}));
    outer.clear();
    EXPECT_TRUE(outer.entries().empty());
}

}  // namespace
}  // namespace brindlecue::platform
