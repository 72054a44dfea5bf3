#pragma once

#include <memory>
#include <optional>
#include <string>

#include "targeting/KJView.h"

namespace brindlecue {

namespace platform {
class UIBarButtonItem;
}  // namespace platform

// A bar button item, seen through its view on the bar.
//
// Its event hook re-routes the item's action (items with a custom view are left alone): the
// item's own target and action are saved, the item is pointed at this wrapper's clicked:, which
// calls the item's own action and then the hook's. A hooked wrapper is kept alive per item until
// its hook is removed; removing restores the saved target and action. Hooks on one item stack:
// each removal undoes the latest. Main thread.
class KJBarButtonItem final : public KJView {
public:
    explicit KJBarButtonItem(std::shared_ptr<platform::UIBarButtonItem> item);

    // The title when it is not empty, else displayStrInOrder.
    std::string displayStr() const override;
    // The item's view named by its place among its siblings ordered by x, then its ancestors up
    // to a window or a screen container, cut to 450, without "@UITransitionView" segments.
    std::string displayStrInOrder() const;
    // The title when not empty; else the name of the system item ("systemBarButtonDone", ...),
    // none for the flexible and fixed spaces, "barButtonItem" for any other number.
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    // Undoes this wrapper's own hook; a wrapper that installed none changes nothing.
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;
    // The item's action: the saved own action, then the hook's, each with the item as sender; a
    // call whose target has gone is skipped.
    void clicked(const std::shared_ptr<platform::NSObject>& sender);

    // The latest wrapper whose hook is installed on the item; none when there is none.
    static std::shared_ptr<KJBarButtonItem> hookedWrapperForItem(const platform::UIBarButtonItem* item);

    std::shared_ptr<platform::UIBarButtonItem> barButtonItem;
    std::weak_ptr<platform::NSObject> oriTarget;
    platform::Selector oriAction;
    std::weak_ptr<platform::NSObject> dstTarget;
    platform::Selector dstAction;

private:
    bool hooked_ = false;
};

}  // namespace brindlecue
