#include "platform/uikit/UIBarButtonItem.h"

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue::platform {

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withTitle(std::string title, UIBarButtonItemStyle style,
                                                            const std::shared_ptr<NSObject>& target,
                                                            Selector action) {
    auto item = make<UIBarButtonItem>();
    item->setTitle(std::move(title));
    item->style_ = style;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withSystemItem(UIBarButtonSystemItem systemItem,
                                                                 const std::shared_ptr<NSObject>& target,
                                                                 Selector action) {
    auto item = make<UIBarButtonItem>();
    item->systemItem_ = systemItem;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withImage(const std::shared_ptr<UIImage>& image,
                                                            UIBarButtonItemStyle style,
                                                            const std::shared_ptr<NSObject>& target,
                                                            Selector action) {
    auto item = make<UIBarButtonItem>();
    item->setImage(image);
    item->style_ = style;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::withCustomView(const std::shared_ptr<UIView>& view) {
    auto item = make<UIBarButtonItem>();
    item->customView_ = view;
    return item;
}

std::shared_ptr<UIView> UIBarButtonItem::view() {
    if (customView_) return customView_;
    if (!barButton_) {
        barButton_ = make<UIControl>(CGRect(0, 0, 44, 44));
        barButton_->setRuntimeClassName("_UIButtonBarButton");
        if (title()) {
            auto label = make<UILabel>();
            label->setText(title());
            label->sizeToFit();
            barButton_->addSubview(label);
            CGSize s = label->bounds().size;
            barButton_->setFrame(CGRect(0, 0, std::max(44.0, s.width + 16), 44));
            label->setCenter({barButton_->bounds().midX(), barButton_->bounds().midY()});
        }
        std::weak_ptr<UIBarButtonItem> weakItem = sharedAs<UIBarButtonItem>();
        // The private control forwards its taps to the item.
        barButton_->addTarget(
            shared_from_this(),
            Selector{"_sendAction:",
                     [](NSObject& item, const auto&) { static_cast<UIBarButtonItem&>(item).press(); }},
            UIControlEventTouchUpInside);
    }
    return barButton_;
}

void UIBarButtonItem::press() {
    auto target = target_.lock();
    if (!target || !action_.call) return;
    action_.call(*target, shared_from_this());
}

Value UIBarButtonItem::valueForKey(std::string_view key) const {
    if (key == "systemItem")
        return systemItem_ ? Value(static_cast<int64_t>(*systemItem_)) : Value(int64_t{-1});
    if (key == "title") return title() ? Value(*title()) : Value();
    return UIBarItem::valueForKey(key);
}

void UIBarButtonItem::setTitle(std::optional<std::string> title) {
    UIBarItem::setTitle(std::move(title));
    if (barButton_ && !barButton_->subviews().empty())
        if (auto label = std::dynamic_pointer_cast<UILabel>(barButton_->subviews().front()))
            label->setText(this->title());
}

}  // namespace brindlecue::platform
