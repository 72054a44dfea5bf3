#pragma once

// Shared by the tests of this folder: the shared stack with a virtual clock, a logger manager
// that records every line of the logging chain while the test runs, and a way to wait for
// queued store work.

#include <gtest/gtest.h>

#include <memory>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/DictionaryTransformer.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue::testing {

class StoreTest : public ::testing::Test {
protected:
    using Line = testsupport::LogLine;

    void SetUp() override {
        platform::Clock::useVirtual();
        DictionaryTransformer::registerDictionaryTransformer();
        context = BLQCoreData::sharedInstance().backgroundContext();
    }
    void TearDown() override { settle(); }

    // Lets every block queued on the background context run, then the saves they requested, then
    // the merges those saves scheduled on the main queue.
    void settle() {
        for (int i = 0; i < 3; ++i) context->performAndWait([] {});
        platform::RunLoop::main().runUntilIdle();
    }

    std::shared_ptr<platform::ManagedObjectContext> mainContext() { return BLQCoreData::sharedInstance().mainContext(); }

    std::shared_ptr<testsupport::RecordingLoggerManager> logger = std::make_shared<testsupport::RecordingLoggerManager>();
    testsupport::ScopedLoggerManager loggerInstalled{logger};  // the facade's until the test ends
    std::shared_ptr<platform::ManagedObjectContext> context;
};

}  // namespace brindlecue::testing
