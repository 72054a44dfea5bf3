#include "foundation/BLQDependencyManager.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/SystemLog.h"

namespace brindlecue {

BLQDependencyManager& BLQDependencyManager::shared() {
    // Holds every service for the life of the process, so it is deliberately never destroyed.
    static BLQDependencyManager* instance = new BLQDependencyManager();
    return *instance;
}

std::string BLQDependencyManager::unqualifiedName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string full = (status == 0 && demangled != nullptr) ? demangled : type.name();
    std::free(demangled);
    const std::string anonymous = "(anonymous namespace)::";
    for (size_t at; (at = full.find(anonymous)) != std::string::npos;) full.erase(at, anonymous.size());

    // Drop every "qualifier::" (inside template arguments too), keeping the rest as written.
    std::string out;
    size_t wordStart = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        char c = full[i];
        if (c == ':' && i + 1 < full.size() && full[i + 1] == ':') {
            out.resize(wordStart);
            ++i;
            continue;
        }
        out += c;
        bool identifier =
            (c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
        if (!identifier) wordStart = out.size();
    }
    return out;
}

void BLQDependencyManager::resetForTesting() {
    std::unordered_map<std::type_index, SharedFactory> services;
    std::unordered_map<std::type_index, std::shared_ptr<void>> singletons;
    {
        std::unique_lock lock(mutex_);
        services.swap(services_);
        singletons.swap(singletons_);
    }
    // Released here, outside the lock.
}

void BLQDependencyManager::storeSingleton(std::type_index type, std::shared_ptr<void> instance) {
    std::unique_lock lock(mutex_);
    singletons_[type] = std::move(instance);
}

void BLQDependencyManager::storeFactory(std::type_index type, ErasedFactory factory) {
    std::unique_lock lock(mutex_);
    services_[type] = std::make_shared<const ErasedFactory>(std::move(factory));
}

std::shared_ptr<void> BLQDependencyManager::resolveErased(const std::type_info& type) {
    SharedFactory factory;
    {
        std::shared_lock lock(mutex_);
        if (auto it = singletons_.find(type); it != singletons_.end() && it->second) return it->second;
        if (auto it = services_.find(type); it != services_.end()) factory = it->second;
    }
    if (factory) {
        if (auto instance = (*factory)()) return instance;
    }
    failToResolve(type);
}

void BLQDependencyManager::failToResolve(const std::type_info& type) {
    std::string message =
        "Brindlecue - Dependency Manager failed to resolve dependency: " + unqualifiedName(type);
    platform::SystemLog("com.brindlecue", "BrindlecueSDK").log(platform::LogType::Fault, message);
    std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace brindlecue
