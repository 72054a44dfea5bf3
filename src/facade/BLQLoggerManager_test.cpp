#include "facade/BLQLoggerManager.h"

#include <gtest/gtest.h>

#include "events/BLQIUserEventManager.h"
#include "facade/BLQFacadeLink.h"
#include "foundation/BLQILoggable.h"
#include "platform/CaptureLogSink.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::CaptureLogSink;

class FakeConfigManager final : public testsupport::StubConfigManager {
public:
    BLQLoggingLevel logLevel = BLQLoggingLevel::info;
    std::vector<BLQLogHandlerModel> handlers{{BLQLogHandlerName::stdout_, BLQLoggingLevel::info}};

    BLQLoggingLevel getLogLevel() const override { return logLevel; }
    void setLogLevel(BLQLoggingLevel level) override { logLevel = level; }
    std::vector<BLQLogHandlerModel> getLogHandlers() const override { return handlers; }
    void setLogHandlers(const std::vector<BLQLogHandlerModel>& h) override { handlers = h; }
};

struct SentError {
    std::string message;
    std::string description;
    size_t consoleLinesBefore;
};

class FakeUserEventManager final : public BLQIUserEventManager {
public:
    explicit FakeUserEventManager(const CaptureLogSink& sink) : sink_(sink) {}
    std::vector<SentError> errors;

    void sendUserEventErrorWithMessage(const std::string& message, const std::string& description) override {
        errors.push_back({message, description, sink_.messages("BrindlecueSDK").size()});
    }
    void sendUserEventWithCode(int64_t, const std::string&, const platform::Value&) override {}
    void sendUserEventWithCode(int64_t, const std::string&, const platform::Value&, Handler) override {}
    void sendUserEventWithCode(int64_t, const std::shared_ptr<BLQTagDTO>&, const std::string&,
                               const platform::Value&, Handler) override {}
    void sendUserEventErrorWithMessageDetails(const std::string&, const platform::Value&) override {}

private:
    const CaptureLogSink& sink_;
};

class LoggingChain : public ::testing::Test {
protected:
    CaptureLogSink sink;
    std::shared_ptr<FakeConfigManager> config = std::make_shared<FakeConfigManager>();
    std::shared_ptr<FakeUserEventManager> events = std::make_shared<FakeUserEventManager>(sink);
    std::shared_ptr<BLQLoggerManager> manager = std::make_shared<BLQLoggerManager>(config);

    // The facade link is the process's: each case starts without a logger manager and leaves none.
    void SetUp() override {
        BLQFacadeLink::setLoggerManager(nullptr);
        BLQFacadeLink::setUserEventManager(events);
    }
    void TearDown() override {
        BLQFacadeLink::setLoggerManager(nullptr);
        BLQFacadeLink::setUserEventManager(nullptr);
    }

    void logAtEveryLevel() {
        for (int64_t level = 0; level <= 5; ++level) manager->log("m" + std::to_string(level), level);
    }
    std::vector<std::string> console() const { return sink.messages("BrindlecueSDK"); }
};

TEST_F(LoggingChain, ConsoleWritesPrefixedLinesAtOrAboveItsLevel) {
    config->logLevel = BLQLoggingLevel::notice;
    logAtEveryLevel();
    EXPECT_EQ(console(), (std::vector<std::string>{"(Brindlecue) m3", "(Brindlecue) m4", "(Brindlecue) m5"}));
    ASSERT_FALSE(sink.entries().empty());
    EXPECT_EQ(sink.entries()[0].subsystem, "com.brindlecue");

    // Levels 1 and 0 both let every message through; the threshold is read for each message.
    for (auto level : {BLQLoggingLevel::debug, BLQLoggingLevel::trace}) {
        sink.clear();
        config->logLevel = level;
        logAtEveryLevel();
        EXPECT_EQ(console().size(), 6u);
    }
}

TEST_F(LoggingChain, CloudSendsOnlyWhatTheFirstCloudHandlerPasses) {
    config->logLevel = BLQLoggingLevel::error;
    config->handlers = {{BLQLogHandlerName::stdout_, BLQLoggingLevel::trace},
                        {BLQLogHandlerName::cloud, BLQLoggingLevel::warning}};
    manager->log("low", 3);
    manager->log("high", 5);
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_EQ(events->errors[0].message, "high");
    EXPECT_EQ(events->errors[0].description, "Sent via the 'cloud' log handler");
    // The console logger ran first, on its own threshold.
    EXPECT_EQ(events->errors[0].consoleLinesBefore, 1u);

    events->errors.clear();
    config->handlers = {{BLQLogHandlerName::cloud, BLQLoggingLevel::error},
                        {BLQLogHandlerName::cloud, BLQLoggingLevel::trace}};
    manager->log("four", 4);
    EXPECT_TRUE(events->errors.empty());

    config->handlers = {{BLQLogHandlerName::stdout_, BLQLoggingLevel::trace}};
    manager->log("five", 5);
    config->handlers = {};
    manager->log("five", 5);
    EXPECT_TRUE(events->errors.empty());
}

TEST_F(LoggingChain, CloudNeverReportsTheUserEventPipelinesOwnLines) {
    // Reporting records an event, which logs; at a low cloud level that must not feed itself.
    config->handlers = {{BLQLogHandlerName::cloud, BLQLoggingLevel::trace}};
    manager->log("UserEvent: Saved UserEvent with id: 1", 2);
    EXPECT_TRUE(events->errors.empty());
    manager->log("Feed: Failed", 4);
    EXPECT_EQ(events->errors.size(), 1u);
}

TEST_F(LoggingChain, UnknownRawLevelIsDropped) {
    config->logLevel = BLQLoggingLevel::trace;
    config->handlers = {{BLQLogHandlerName::cloud, BLQLoggingLevel::trace}};
    manager->log("x", 6);
    manager->log("x", -1);
    EXPECT_TRUE(console().empty());
    EXPECT_TRUE(events->errors.empty());
}

TEST_F(LoggingChain, LoggableReachesTheFacadeLoggerManagerExceptDuringConstruction) {
    class Component : public BLQILoggable {};
    Component component;

    component.log("before", BLQLoggingLevel::error);  // no logger manager yet
    BLQFacadeLink::setLoggerManager(manager);
    {
        BLQFacadeLink::ConstructionScope constructing;
        component.log("during", BLQLoggingLevel::error);
        print_log("during", 5);
    }
    component.log("after", BLQLoggingLevel::error);
    print_log("legacy", 5);
    EXPECT_EQ(console(), (std::vector<std::string>{"(Brindlecue) after", "(Brindlecue) legacy"}));
}

// A caller may skip making a costly message when no logger would take it, so wouldLog must say
// yes exactly when logging writes a line or sends an event.
TEST_F(LoggingChain, WouldLogAgreesWithWhatTheChainWrites) {
    class Component : public BLQILoggable {};
    Component component;
    BLQFacadeLink::setLoggerManager(nullptr);
    EXPECT_FALSE(component.wouldLog(BLQLoggingLevel::error));  // no logger manager
    BLQFacadeLink::setLoggerManager(manager);

    struct Setting {
        BLQLoggingLevel console;
        std::vector<BLQLogHandlerModel> handlers;
    };
    for (const Setting& setting :
         {Setting{BLQLoggingLevel::notice, {}},
          Setting{BLQLoggingLevel::error, {{BLQLogHandlerName::cloud, BLQLoggingLevel::info}}},
          Setting{BLQLoggingLevel::debug, {}},
          Setting{BLQLoggingLevel::error,
                  {{BLQLogHandlerName::cloud, BLQLoggingLevel::error}, {BLQLogHandlerName::cloud, BLQLoggingLevel::trace}}}}) {
        config->logLevel = setting.console;
        config->handlers = setting.handlers;
        for (int64_t level = -1; level <= 6; ++level) {
            size_t before = console().size() + events->errors.size();
            bool would = manager->wouldLog(level);
            manager->log("m", level);
            EXPECT_EQ(would, console().size() + events->errors.size() > before)
                << "console " << static_cast<int>(setting.console) << ", level " << level;
        }
    }
    config->logLevel = BLQLoggingLevel::warning;
    EXPECT_TRUE(component.wouldLog(BLQLoggingLevel::error));
    EXPECT_FALSE(component.wouldLog(BLQLoggingLevel::info));
    BLQFacadeLink::ConstructionScope constructing;
    EXPECT_FALSE(component.wouldLog(BLQLoggingLevel::error));
}

TEST(LogHandlerModel, DecodesOnlyKnownNamesAndLevels) {
    using platform::Value;
    auto ok = BLQLogHandlerModel::decode(Value::dictionary({{"name", "cloud"}, {"log_level", 4}}));
    ASSERT_TRUE(ok);
    EXPECT_EQ(*ok, BLQLogHandlerModel(BLQLogHandlerName::cloud, BLQLoggingLevel::warning));
    EXPECT_FALSE(BLQLogHandlerModel::decode(Value::dictionary({{"name", "cloud"}, {"log_level", 7}})));
    EXPECT_FALSE(BLQLogHandlerModel::decode(Value::dictionary({{"name", "file"}, {"log_level", 2}})));
    EXPECT_FALSE(BLQLogHandlerModel::decode(Value::dictionary({{"name", "stdout"}})));
    EXPECT_FALSE(BLQLogHandlerModel::decode(Value::dictionary({{"name", "stdout"}, {"log_level", "2"}})));
    EXPECT_FALSE(BLQLoggingLevelFromRawValue(-1));
}

}  // namespace
}  // namespace brindlecue
