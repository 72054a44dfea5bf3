#include "platform/uikit/UINavigationBar.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationItem.h"

namespace brindlecue::platform {

void UINavigationBar::setItems(std::vector<std::shared_ptr<UINavigationItem>> items) {
    items_ = std::move(items);
    auto self = sharedAs<UINavigationBar>();
    for (const auto& item : items_) item->setNavigationBar(self);
    reloadItemViews();
}

std::shared_ptr<UINavigationItem> UINavigationBar::backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void UINavigationBar::setFrame(const CGRect& frame) {
    CGSize old = bounds().size;
    UIView::setFrame(frame);
    if (!(old == bounds().size)) reloadItemViews();
}

void UINavigationBar::reloadItemViews() {
    for (const auto& v : itemViews_)
        if (v->superview().get() == this) v->removeFromSuperview();
    itemViews_.clear();
    auto top = topItem();
    if (!top) return;
    CGRect b = bounds();
    double x = 8;
    for (const auto& item : top->leftBarButtonItems()) {
        auto v = item->view();
        CGRect f = v->frame();
        v->setFrame(CGRect(x, b.midY() - f.size.height / 2, f.size.width, f.size.height));
        x += f.size.width + 8;
        addSubview(v);
        itemViews_.push_back(v);
    }
    if (auto tv = top->titleView()) {
        CGRect f = tv->frame();
        tv->setFrame(
            CGRect(b.midX() - f.size.width / 2, b.midY() - f.size.height / 2, f.size.width, f.size.height));
        addSubview(tv);
        itemViews_.push_back(tv);
    }
    double right = b.size.width - 8;
    for (const auto& item : top->rightBarButtonItems()) {
        auto v = item->view();
        CGRect f = v->frame();
        right -= f.size.width;
        v->setFrame(CGRect(right, b.midY() - f.size.height / 2, f.size.width, f.size.height));
        right -= 8;
        addSubview(v);
        itemViews_.push_back(v);
    }
}

void UINavigationBar::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // The bar's colour, a hairline at the bottom and the top item's title in the middle.
    CGRect b = bounds();
    ctx->setFillColor(barTintColor_.value_or(UIColor(0.97, 0.97, 0.97)));
    ctx->fillRect(b);
    ctx->setFillColor(UIColor(0, 0, 0, 0.3));
    ctx->fillRect(CGRect(b.minX(), b.maxY() - 0.5, b.width(), 0.5));
    auto item = topItem();
    if (!item || item->title().empty() || item->titleView()) return;
    TextStyle style;
    style.font = UIFont::boldSystemFontOfSize(17);
    style.alignment = NSTextAlignment::Center;
    style.numberOfLines = 1;
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    double h = TextLayout::measure(item->title(), style, 0).height;
    double w = b.width() * 0.6;
    TextLayout::draw(*ctx, item->title(), CGRect(b.midX() - w / 2, b.midY() - h / 2, w, h), style);
}

}  // namespace brindlecue::platform
