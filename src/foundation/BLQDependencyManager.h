#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>

namespace brindlecue {

// The process-wide registry of the newer layer's services, keyed by the interface type their
// users know them by. The dependency composer fills it once while the facade initialises; the
// factory classes and other registrations' factories resolve from it afterwards.
//
// Every factory runs once at registration, whatever the singleton flag says, so a factory may
// resolve only types registered before it. Resolving a type that is registered in neither map
// is a programming error: the process stops with
// "Brindlecue - Dependency Manager failed to resolve dependency: <InterfaceName>".
class BLQDependencyManager {
public:
    template <class T>
    using Factory = std::function<std::shared_ptr<T>()>;

    // Created on first use; lives for the process.
    static BLQDependencyManager& shared();

    BLQDependencyManager() = default;
    BLQDependencyManager(const BLQDependencyManager&) = delete;
    BLQDependencyManager& operator=(const BLQDependencyManager&) = delete;

    // A singleton keeps the instance built now; otherwise the factory is kept, the instance built
    // now is released, and every resolution builds a new one. A later registration of the same
    // type in the same map replaces the earlier one.
    template <class T>
    void register_(bool singleton, Factory<T> factory) {
        std::shared_ptr<T> instance = factory();
        if (singleton) {
            storeSingleton(typeid(T), std::static_pointer_cast<void>(std::move(instance)));
        } else {
            instance.reset();
            storeFactory(typeid(T), [factory = std::move(factory)]() -> std::shared_ptr<void> {
                return std::static_pointer_cast<void>(factory());
            });
        }
    }

    template <class T>
    void register_(Factory<T> factory) {
        register_<T>(false, std::move(factory));
    }

    // The singleton of T when there is one, else a new instance from T's factory (run on the
    // caller's thread). Never empty: an unknown T stops the process.
    template <class T>
    std::shared_ptr<T> resolve() {
        return std::static_pointer_cast<T>(resolveErased(typeid(T)));
    }

    // Test-only: forgets every registration and releases the singletons, so that the next start
    // meets the empty container of a new process. The composer registers it with TestingReset
    // when it fills the shared container; the library never calls it.
    void resetForTesting();

    // The name of a type without namespace qualifiers ("BLQIConfigManager").
    static std::string unqualifiedName(const std::type_info& type);

private:
    using ErasedFactory = std::function<std::shared_ptr<void>()>;
    // Shared, so that a resolution copies a pointer, not the factory, before it runs it unlocked.
    using SharedFactory = std::shared_ptr<const ErasedFactory>;

    void storeSingleton(std::type_index type, std::shared_ptr<void> instance);
    void storeFactory(std::type_index type, ErasedFactory factory);
    std::shared_ptr<void> resolveErased(const std::type_info& type);
    [[noreturn]] static void failToResolve(const std::type_info& type);

    // Registration happens on one thread before any resolution, but resolutions may come from any
    // thread; the lock is never held while a factory runs, since factories resolve in turn.
    std::shared_mutex mutex_;
    std::unordered_map<std::type_index, SharedFactory> services_;
    std::unordered_map<std::type_index, std::shared_ptr<void>> singletons_;
};

}  // namespace brindlecue
