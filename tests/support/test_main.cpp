// Entry point of every test binary. Every test case gets a fresh app container under the system's
// temporary directory (removed when the case ends), and after each case the windows it showed are
// hidden, the process-wide state is reset (platform::TestingReset) and the default time zone put
// back, so that a whole binary run in one process, in any order, behaves like one process per
// test case, as CTest runs them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unicode/timezone.h>
#include <unistd.h>

#include "foundation/KJLog.h"
#include "platform/AppContainer.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "support/BackgroundWork.h"

namespace {

namespace fs = std::filesystem;
using namespace brindlecue;
using testsupport::letBackgroundWorkEnd;

// Set to a case's container while the case runs. A test program that a case starts again (a
// death test's child, a child that is killed by design) inherits it and makes its containers
// inside that one, which the case removes: the child itself ends without cleaning up.
constexpr const char* kCaseContainer = "BRINDLECUE_CASE_CONTAINER";

fs::path containerParent = fs::temp_directory_path();

std::string makeContainer() {
    std::string pattern = (containerParent / "brindlecue-test-XXXXXX").string();
    const char* root = mkdtemp(pattern.data());
    return root != nullptr ? std::string(root) : std::string();
}

class FreshStatePerTest : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override {
        container_ = makeContainer();
        if (container_.empty()) {
            std::fprintf(stderr, "cannot make a temporary app container\n");
            std::exit(2);
        }
        setenv("BRINDLECUE_CONTAINER", container_.c_str(), 1);
        setenv(kCaseContainer, container_.c_str(), 1);
        platform::AppContainer::setRoot({});
    }

    void OnTestEnd(const testing::TestInfo&) override {
        // Work the case left on the main queue runs before the state it uses is reset, and again
        // after the resets have let background work finish.
        platform::RunLoop::main().runUntilIdle();
        // A shown window stays alive and on screen without its owner, as on the platform: the
        // windows a case showed go, so that the next case finds no window it did not make.
        if (auto application = platform::UIApplication::sharedApplication()) {
            for (const auto& window : application->windows()) window->setHidden(true);
            platform::RunLoop::main().runUntilIdle();
        }
        letBackgroundWorkEnd();
        platform::TestingReset::runAll();
        platform::RunLoop::main().runUntilIdle();
        letBackgroundWorkEnd();
        platform::Clock::useReal();
        // The device's time zone, which tests of dates set for themselves.
        if (initialZone_) icu::TimeZone::setDefault(*initialZone_);
        platform::AppContainer::setRoot({});
        KJLogSetObserver({});
        // Work still running may yet open a store in the container: it is removed once the
        // process ends instead of under that work.
        if (testsupport::backgroundWorkPending()) {
            leftBehind.push_back(container_);
            return;
        }
        std::error_code ec;
        fs::remove_all(container_, ec);
    }

    static inline std::vector<std::string> leftBehind;

private:
    std::string container_;
    std::unique_ptr<icu::TimeZone> initialZone_{icu::TimeZone::createDefault()};
};

}  // namespace

int main(int argc, char** argv) {
    if (const char* parent = std::getenv(kCaseContainer)) containerParent = parent;
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshStatePerTest);
    // Code that runs outside a test case (listing, environments) gets a container too.
    std::string processContainer = makeContainer();
    if (processContainer.empty()) return 2;
    setenv("BRINDLECUE_CONTAINER", processContainer.c_str(), 1);

    int rc = RUN_ALL_TESTS();

    letBackgroundWorkEnd();
    std::error_code ec;
    for (const auto& container : FreshStatePerTest::leftBehind) fs::remove_all(container, ec);
    fs::remove_all(processContainer, ec);
    return rc;
}
