#pragma once

// Shared by the tests of this folder: the shared stack with a virtual clock, a logger manager
// that records every line of the logging chain, and a way to wait for queued store work.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/BLQFacadeLink.h"
#include "foundation/BLQILoggerManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreData.h"
#include "storage/DictionaryTransformer.h"

namespace brindlecue::testing {

class RecordingLoggerManager final : public BLQILoggerManager {
public:
    void log(const std::string& message, int64_t level) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(message, level);
    }
    std::vector<std::pair<std::string, int64_t>> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // The lines that begin with the prefix (an area such as "Tag: "), in order.
    std::vector<std::pair<std::string, int64_t>> linesStartingWith(const std::string& prefix) const {
        std::vector<std::pair<std::string, int64_t>> out;
        for (auto& line : lines())
            if (line.first.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, int64_t>> lines_;
};

class StoreTest : public ::testing::Test {
protected:
    using Line = std::pair<std::string, int64_t>;

    void SetUp() override {
        platform::Clock::useVirtual();
        DictionaryTransformer::registerDictionaryTransformer();
        BLQFacadeLink::setLoggerManager(logger);
        context = BLQCoreData::sharedInstance().backgroundContext();
    }
    void TearDown() override {
        settle();
        BLQFacadeLink::setLoggerManager(nullptr);
    }

    // Lets every block queued on the background context run, then the saves they requested, then
    // the merges those saves scheduled on the main queue.
    void settle() {
        for (int i = 0; i < 3; ++i) context->performAndWait([] {});
        platform::RunLoop::main().runUntilIdle();
    }

    std::shared_ptr<platform::ManagedObjectContext> mainContext() { return BLQCoreData::sharedInstance().mainContext(); }

    std::shared_ptr<RecordingLoggerManager> logger = std::make_shared<RecordingLoggerManager>();
    std::shared_ptr<platform::ManagedObjectContext> context;
};

}  // namespace brindlecue::testing
