#pragma once

#include <functional>
#include <string>

namespace brindlecue::platform {

// Test-only resets of process-wide state. A singleton that caches something of the app container
// (an open store, a file path, a value read once) registers a reset when it is first made; the
// test runner calls runAll between test cases, so that every test case meets the state of a new
// process, also when a whole test binary runs in one process. The library never calls runAll.
class TestingReset {
public:
    // Adds a reset under a name; a second registration under the same name changes nothing.
    // Resets run in the order they were first registered.
    static void add(const std::string& name, std::function<void()> reset);
    static void runAll();
};

}  // namespace brindlecue::platform
