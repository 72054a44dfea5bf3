#include "platform/uikit/UITableViewCell.h"

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITouch.h"

namespace brindlecue::platform {

void UITableViewCell::didConstruct() {
    UIView::didConstruct();
    contentView_ = make<UIView>(bounds());
    contentView_->setRuntimeClassName("UITableViewCellContentView");
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void UITableViewCell::setFrame(const CGRect& frame) {
    UIView::setFrame(frame);
    if (textLabel_)
        textLabel_->setFrame(CGRect(16, 0, std::max(0.0, frame.size.width - 32), frame.size.height));
}

std::shared_ptr<UILabel> UITableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ =
            make<UILabel>(CGRect(16, 0, std::max(0.0, bounds().size.width - 32), bounds().size.height));
        contentView_->addSubview(textLabel_);
    }
    return textLabel_;
}

std::shared_ptr<UILabel> UITableViewCell::detailTextLabel() {
    if (style_ == UITableViewCellStyle::Default) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = make<UILabel>();
        detailTextLabel_->setFont(UIFont::systemFontOfSize(12));
        contentView_->addSubview(detailTextLabel_);
    }
    return detailTextLabel_;
}

std::shared_ptr<UIImageView> UITableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = make<UIImageView>();
        contentView_->insertSubviewAtIndex(imageView_, 0);
    }
    return imageView_;
}

void UITableViewCell::touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto table = std::dynamic_pointer_cast<UITableView>(superview())) {
        table->cellTapped(sharedAs<UITableViewCell>());
        return;
    }
    UIView::touchesEnded(touches, event);
}

void UITableViewHeaderFooterView::didConstruct() {
    UIView::didConstruct();
    contentView_ = make<UIView>(bounds());
    contentView_->setRuntimeClassName("_UITableViewHeaderFooterContentView");
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

std::shared_ptr<UILabel> UITableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ =
            make<UILabel>(CGRect(16, 0, std::max(0.0, bounds().size.width - 32), bounds().size.height));
        contentView_->addSubview(textLabel_);
    }
    return textLabel_;
}

void UITableViewHeaderFooterView::setFrame(const CGRect& frame) {
    UIView::setFrame(frame);
    if (textLabel_)
        textLabel_->setFrame(CGRect(16, 0, std::max(0.0, frame.size.width - 32), frame.size.height));
}

}  // namespace brindlecue::platform
