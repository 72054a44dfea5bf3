#include "platform/TestingReset.h"

#include <mutex>
#include <utility>
#include <vector>

namespace brindlecue::platform {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::function<void()>>> resets;
};

Registry& registry() {
    static auto* r = new Registry;  // leaked: singletons may register during exit
    return *r;
}

}  // namespace

void TestingReset::add(const std::string& name, std::function<void()> reset) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& entry : r.resets)
        if (entry.first == name) return;
    r.resets.emplace_back(name, std::move(reset));
}

void TestingReset::runAll() {
    std::vector<std::function<void()>> resets;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (const auto& entry : r.resets) resets.push_back(entry.second);
    }
    // Outside the lock: a reset may make a singleton that registers.
    for (const auto& reset : resets) reset();
}

}  // namespace brindlecue::platform
