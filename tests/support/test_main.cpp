// Entry point of every test binary. Every test case gets a fresh app container under the system's
// temporary directory (removed when the case ends), and after each case the process-wide state
// is reset (platform::TestingReset), so that a whole binary run in one process behaves like one
// process per test case, as CTest runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "foundation/KJLog.h"
#include "platform/AppContainer.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace {

namespace fs = std::filesystem;
using namespace brindlecue;

std::string makeContainer() {
    std::string pattern = (fs::temp_directory_path() / "brindlecue-test-XXXXXX").string();
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
        platform::AppContainer::setRoot({});
    }

    void OnTestEnd(const testing::TestInfo&) override {
        // Work the case left on the main queue runs before the state it uses is reset, and again
        // after the resets have let background work finish.
        platform::RunLoop::main().runUntilIdle();
        platform::TestingReset::runAll();
        platform::RunLoop::main().runUntilIdle();
        platform::Clock::useReal();
        platform::AppContainer::setRoot({});
        KJLogSetObserver({});
        std::error_code ec;
        fs::remove_all(container_, ec);
    }

private:
    std::string container_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshStatePerTest);
    // Code that runs outside a test case (listing, environments) gets a container too.
    std::string processContainer = makeContainer();
    if (processContainer.empty()) return 2;
    setenv("BRINDLECUE_CONTAINER", processContainer.c_str(), 1);

    int rc = RUN_ALL_TESTS();

    std::error_code ec;
    fs::remove_all(processContainer, ec);
    return rc;
}
