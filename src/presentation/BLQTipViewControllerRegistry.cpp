#include "presentation/BLQTipViewControllerRegistry.h"

#include <map>
#include <mutex>

namespace brindlecue {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<BLQTipViewControllerKind, BLQTipViewControllerRegistry::Maker> makers;
    BLQTipViewControllerRegistry::DialogPresenter dialog;
};

Registry& registry() {
    static auto* r = new Registry();  // left alive: workers may ask during exit
    return *r;
}

}  // namespace

void BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind kind, Maker maker) {
    std::lock_guard lock(registry().mutex);
    if (maker) {
        registry().makers[kind] = std::move(maker);
    } else {
        registry().makers.erase(kind);
    }
}

std::shared_ptr<BLQITipViewController> BLQTipViewControllerRegistry::make(BLQTipViewControllerKind kind) {
    Maker maker;
    {
        std::lock_guard lock(registry().mutex);
        auto it = registry().makers.find(kind);
        if (it == registry().makers.end()) return nullptr;
        maker = it->second;
    }
    return maker();
}

void BLQTipViewControllerRegistry::registerDialogPresenter(DialogPresenter presenter) {
    std::lock_guard lock(registry().mutex);
    registry().dialog = std::move(presenter);
}

bool BLQTipViewControllerRegistry::hasDialogPresenter() {
    std::lock_guard lock(registry().mutex);
    return static_cast<bool>(registry().dialog);
}

bool BLQTipViewControllerRegistry::presentDialog(const std::optional<std::string>& title,
                                                 const std::optional<std::string>& message,
                                                 const std::vector<std::string>& buttonTitles,
                                                 std::function<void(int64_t)> handler) {
    DialogPresenter presenter;
    {
        std::lock_guard lock(registry().mutex);
        presenter = registry().dialog;
    }
    if (!presenter) return false;
    presenter(title, message, buttonTitles, std::move(handler));
    return true;
}

}  // namespace brindlecue
