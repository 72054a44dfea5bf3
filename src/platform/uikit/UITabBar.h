#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

class UITabBarItem;
class UIControl;

// The tab bar: one "UITabBarButton" control per item (with a "UITabBarButtonLabel" for its
// title), laid out in equal widths. Tapping a button selects its item and tells the owner.
class UITabBar : public UIView {
public:
    BLQ_PLATFORM_CLASS(UITabBar)
    void drawRect(const CGRect& rect) override;
    using UIView::UIView;

    const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UITabBarItem>> items);
    std::shared_ptr<UITabBarItem> selectedItem() const { return selectedItem_.lock(); }
    void setSelectedItem(const std::shared_ptr<UITabBarItem>& item) { selectedItem_ = item; }
    // Called with the index of a tapped item (the tab bar controller listens here).
    void setItemTappedHandler(std::function<void(size_t)> handler) { onTap_ = std::move(handler); }

    void layoutSubviews() override;

private:
    void tapped(size_t index);

    std::vector<std::shared_ptr<UITabBarItem>> items_;
    std::vector<std::shared_ptr<UIControl>> buttons_;
    std::weak_ptr<UITabBarItem> selectedItem_;
    std::function<void(size_t)> onTap_;
};

}  // namespace brindlecue::platform
