#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class UIBarButtonItem;
class UINavigationBar;
class UIView;

// What a controller shows on the navigation bar: title, title view and bar button items. A bar
// showing the item lays its item views out again when they change.
class UINavigationItem : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UINavigationItem)

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    std::shared_ptr<UIView> titleView() const { return titleView_; }
    void setTitleView(const std::shared_ptr<UIView>& v);

    const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const { return left_; }
    const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const { return right_; }
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const {
        return left_.empty() ? nullptr : left_.front();
    }
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const {
        return right_.empty() ? nullptr : right_.front();
    }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items);
    void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items);
    void setLeftBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item);
    void setRightBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item);
    std::shared_ptr<UIBarButtonItem> backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item) { back_ = item; }
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool v) { hidesBackButton_ = v; }

    // The bar that shows the item (set by the bar).
    void setNavigationBar(const std::shared_ptr<UINavigationBar>& bar) { bar_ = bar; }

private:
    void changed();

    std::string title_;
    std::shared_ptr<UIView> titleView_;
    std::vector<std::shared_ptr<UIBarButtonItem>> left_;
    std::vector<std::shared_ptr<UIBarButtonItem>> right_;
    std::shared_ptr<UIBarButtonItem> back_;
    bool hidesBackButton_ = false;
    std::weak_ptr<UINavigationBar> bar_;
};

}  // namespace brindlecue::platform
