#include "network/KJHTTPFacade.h"

#include <mutex>

namespace brindlecue {

namespace {
std::mutex& facadeMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::shared_ptr<KJHTTPFacade>& facadeSlot() {
    static auto* slot = new std::shared_ptr<KJHTTPFacade>;
    return *slot;
}
}  // namespace

void KJHTTPFacade::set(std::shared_ptr<KJHTTPFacade> facade) {
    std::lock_guard lock(facadeMutex());
    facadeSlot() = std::move(facade);
}

std::shared_ptr<KJHTTPFacade> KJHTTPFacade::current() {
    std::lock_guard lock(facadeMutex());
    return facadeSlot();
}

}  // namespace brindlecue
