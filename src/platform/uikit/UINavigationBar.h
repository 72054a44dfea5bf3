#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

class UINavigationItem;

// The navigation bar: a stack of navigation items, of which the top one's bar button item views
// are the bar's subviews (left items from the left edge, right items from the right edge).
class UINavigationBar : public UIView {
public:
    BLQ_PLATFORM_CLASS(UINavigationBar)
    void drawRect(const CGRect& rect) override;
    using UIView::UIView;

    const std::vector<std::shared_ptr<UINavigationItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UINavigationItem>> items);
    std::shared_ptr<UINavigationItem> topItem() const { return items_.empty() ? nullptr : items_.back(); }
    std::shared_ptr<UINavigationItem> backItem() const;
    // Lays the top item's views out again.
    void reloadItemViews();
    std::optional<UIColor> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<UIColor> c) { barTintColor_ = c; }
    void setFrame(const CGRect& frame) override;

private:
    std::vector<std::shared_ptr<UINavigationItem>> items_;
    std::vector<std::shared_ptr<UIView>> itemViews_;
    std::optional<UIColor> barTintColor_;
};

}  // namespace brindlecue::platform
