#include "targeting/KJBarButtonItem.h"

#include <algorithm>
#include <map>
#include <vector>

#include "feed/KJTipUtil.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

using platform::NSObject;
using platform::Selector;
using platform::UIView;

namespace {

// The wrappers whose hooks are installed, per item, latest last. They keep themselves (and so
// their item) alive until their hook is removed, as the item holds its target weakly.
std::map<const platform::UIBarButtonItem*, std::vector<std::shared_ptr<KJBarButtonItem>>>& hookedWrappers() {
    static auto* wrappers =
        new std::map<const platform::UIBarButtonItem*, std::vector<std::shared_ptr<KJBarButtonItem>>>();
    return *wrappers;
}

std::optional<std::string> systemItemName(uint64_t number) {
    static constexpr const char* kNames[] = {"systemBarButtonDone",
                                             "systemBarButtonCancel",
                                             "systemBarButtonEdit",
                                             "systemBarButtonSave",
                                             "systemBarButtonAdd",
                                             nullptr,
                                             nullptr,
                                             "systemBarButtonCompose",
                                             "systemBarButtonReply",
                                             "systemBarButtonAction",
                                             "systemBarButtonOrganize",
                                             "systemBarButtonBookmarks",
                                             "systemBarButtonSearch",
                                             "systemBarButtonRefresh",
                                             "systemBarButtonStop",
                                             "systemBarButtonCamera",
                                             "systemBarButtonTrash",
                                             "systemBarButtonPlay",
                                             "systemBarButtonPause",
                                             "systemBarButtonRewind",
                                             "systemBarButtonFastForward",
                                             "barButtonItem",
                                             "systemBarButtonRedo",
                                             "systemBarButtonPageCurl"};
    if (number >= std::size(kNames)) return "barButtonItem";
    if (kNames[number] == nullptr) return std::nullopt;
    return kNames[number];
}

}  // namespace

KJBarButtonItem::KJBarButtonItem(std::shared_ptr<platform::UIBarButtonItem> item)
    : KJView(item->view()), barButtonItem(std::move(item)) {}

std::string KJBarButtonItem::displayStr() const {
    const auto& title = barButtonItem->title();
    return title && !title->empty() ? *title : displayStrInOrder();
}

std::string KJBarButtonItem::displayStrInOrder() const {
    const auto& view = innerView();
    if (!view) return "";
    // The siblings ordered by x: each is placed before the first already placed whose x is not
    // smaller, so among equal x the later sibling comes first.
    std::vector<std::shared_ptr<UIView>> ordered;
    if (auto superview = view->superview()) {
        for (const auto& sibling : superview->subviews()) {
            double x = sibling->frame().origin.x;
            auto at = std::find_if(
                ordered.begin(), ordered.end(),
                [x](const std::shared_ptr<UIView>& placed) { return placed->frame().origin.x >= x; });
            ordered.insert(at, sibling);
        }
    }
    auto it = std::find(ordered.begin(), ordered.end(), view);
    size_t index = it == ordered.end() ? 0 : size_t(it - ordered.begin());
    std::string text = view->className() + "_" + std::to_string(index);
    text += ancestorSegments(view, false);
    return KJTipUtil::removeExceptionForRawId(cutDisplayString(std::move(text)));
}

std::optional<std::string> KJBarButtonItem::friendlyName() const {
    const auto& title = barButtonItem->title();
    if (title && !title->empty()) return title;
    platform::Value number = barButtonItem->valueForKey("systemItem");
    // Compared unsigned: a negative number is above every name.
    return systemItemName(static_cast<uint64_t>(number.integerValue()));
}

std::optional<platform::UIColor> KJBarButtonItem::preferTextColor() const {
    auto attributes = barButtonItem->titleTextAttributesForState(platform::UIControlStateNormal);
    return attributes ? attributes->foregroundColor : std::nullopt;
}

std::optional<platform::UIFont> KJBarButtonItem::preferTextFont() const {
    auto attributes = barButtonItem->titleTextAttributesForState(platform::UIControlStateNormal);
    return attributes ? attributes->font : std::nullopt;
}

void KJBarButtonItem::hookEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    if (barButtonItem->customView() || hooked_) return;
    oriTarget = barButtonItem->target();
    oriAction = barButtonItem->action();
    dstTarget = target;
    dstAction = selector;
    auto self = std::static_pointer_cast<KJBarButtonItem>(shared_from_this());
    barButtonItem->setTarget(self);
    barButtonItem->setAction(
        Selector{"clicked:", [](NSObject& wrapper, const std::shared_ptr<NSObject>& sender) {
                     if (auto* w = dynamic_cast<KJBarButtonItem*>(&wrapper)) w->clicked(sender);
                 }});
    hooked_ = true;
    hookedWrappers()[barButtonItem.get()].push_back(self);
}

void KJBarButtonItem::removeEventWithTarget(const std::shared_ptr<NSObject>&, const Selector&) {
    if (!hooked_) return;
    hooked_ = false;
    barButtonItem->setTarget(oriTarget.lock());
    barButtonItem->setAction(oriAction);
    // Taking this wrapper out of the keeper may release it: the item is held here until then.
    auto item = barButtonItem;
    auto self = shared_from_this();
    auto& byItem = hookedWrappers();
    auto entry = byItem.find(item.get());
    if (entry == byItem.end()) return;
    auto& wrappers = entry->second;
    auto mine = std::find(wrappers.begin(), wrappers.end(), self);
    if (mine != wrappers.end()) wrappers.erase(mine);
    if (wrappers.empty()) byItem.erase(entry);
}

void KJBarButtonItem::clicked(const std::shared_ptr<NSObject>&) {
    // Both actions get the item as sender.
    std::shared_ptr<NSObject> item = barButtonItem;
    if (auto target = oriTarget.lock(); target && oriAction.call) oriAction.call(*target, item);
    if (auto target = dstTarget.lock(); target && dstAction.call) dstAction.call(*target, item);
}

std::shared_ptr<KJBarButtonItem> KJBarButtonItem::hookedWrapperForItem(
    const platform::UIBarButtonItem* item) {
    auto& byItem = hookedWrappers();
    auto entry = byItem.find(item);
    if (entry == byItem.end() || entry->second.empty()) return nullptr;
    return entry->second.back();
}

}  // namespace brindlecue
