#include "platform/uikit/UITabBar.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITabBarItem.h"

namespace brindlecue::platform {

void UITabBar::setItems(std::vector<std::shared_ptr<UITabBarItem>> items) {
    for (const auto& b : buttons_) b->removeFromSuperview();
    buttons_.clear();
    for (const auto& old : items_) old->setView(nullptr);
    items_ = std::move(items);
    std::weak_ptr<UITabBar> weakBar = sharedAs<UITabBar>();
    for (size_t i = 0; i < items_.size(); ++i) {
        auto button = make<UIControl>();
        button->setRuntimeClassName("UITabBarButton");
        auto label = make<UILabel>();
        label->setRuntimeClassName("UITabBarButtonLabel");
        label->setFont(UIFont::systemFontOfSize(10));
        label->setText(items_[i]->title());
        button->addSubview(label);
        button->addTarget(button,
                          Selector{"_tabBarButtonTapped:",
                                   [weakBar, i](NSObject&, const auto&) {
                                       if (auto bar = weakBar.lock()) bar->tapped(i);
                                   }},
                          UIControlEventTouchUpInside);
        items_[i]->setView(button);
        addSubview(button);
        buttons_.push_back(button);
    }
    if (!items_.empty() && !selectedItem()) selectedItem_ = items_.front();
    layoutSubviews();
}

void UITabBar::layoutSubviews() {
    if (buttons_.empty()) return;
    CGRect b = bounds();
    double w = b.size.width / buttons_.size();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setFrame(CGRect(i * w, 0, w, std::min(49.0, b.size.height)));
        for (const auto& sub : buttons_[i]->subviews()) {
            sub->sizeToFit();
            CGSize s = sub->bounds().size;
            sub->setFrame(CGRect((w - s.width) / 2, 49 - s.height - 4, s.width, s.height));
        }
    }
}

void UITabBar::tapped(size_t index) {
    if (index >= items_.size() || !items_[index]->isEnabled()) return;
    if (onTap_)
        onTap_(index);
    else
        selectedItem_ = items_[index];
}

void UITabBar::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // The bar's colour and a hairline at the top; the item buttons draw their titles.
    CGRect b = bounds();
    ctx->setFillColor(UIColor(0.97, 0.97, 0.97));
    ctx->fillRect(b);
    ctx->setFillColor(UIColor(0, 0, 0, 0.3));
    ctx->fillRect(CGRect(b.minX(), b.minY(), b.width(), 0.5));
}

}  // namespace brindlecue::platform
