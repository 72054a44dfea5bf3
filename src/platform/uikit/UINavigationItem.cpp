#include "platform/uikit/UINavigationItem.h"

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationBar.h"

namespace brindlecue::platform {

void UINavigationItem::setTitleView(const std::shared_ptr<UIView>& v) {
    titleView_ = v;
    changed();
}

void UINavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) {
    left_ = std::move(items);
    changed();
}

void UINavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) {
    right_ = std::move(items);
    changed();
}

void UINavigationItem::setLeftBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item) {
    setLeftBarButtonItems(item ? std::vector{item} : std::vector<std::shared_ptr<UIBarButtonItem>>{});
}

void UINavigationItem::setRightBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item) {
    setRightBarButtonItems(item ? std::vector{item} : std::vector<std::shared_ptr<UIBarButtonItem>>{});
}

void UINavigationItem::changed() {
    auto bar = bar_.lock();
    if (bar && bar->topItem().get() == this) bar->reloadItemViews();
}

}  // namespace brindlecue::platform
