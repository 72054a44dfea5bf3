#include "platform/uikit/UIAlertView.h"

#include <algorithm>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

UIAlertView::UIAlertView(std::optional<std::string> title, std::optional<std::string> message,
                         const std::shared_ptr<UIAlertViewDelegate>& delegate,
                         std::optional<std::string> cancelButtonTitle,
                         std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), message_(std::move(message)), delegate_(delegate) {
    if (cancelButtonTitle) {
        cancelButtonIndex_ = 0;
        buttons_.push_back(*cancelButtonTitle);
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
}

int64_t UIAlertView::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    return int64_t(buttons_.size()) - 1;
}

std::optional<std::string> UIAlertView::buttonTitleAtIndex(int64_t index) const {
    if (index < 0 || index >= int64_t(buttons_.size())) return std::nullopt;
    return buttons_[index];
}

int64_t UIAlertView::firstOtherButtonIndex() const {
    int64_t first = cancelButtonIndex_ == 0 ? 1 : 0;
    return first < int64_t(buttons_.size()) ? first : -1;
}

void UIAlertView::show() {
    if (visible_) return;
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window) return;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewWillPresent(*this);
    setFrame(window->bounds());
    window->addSubview(self);
    visible_ = true;
    if (auto d = delegate()) d->alertViewDidPresent(*this);
}

void UIAlertView::dismissWithClickedButtonIndex(int64_t index, bool) {
    if (!visible_) return;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewWillDismissWithButtonIndex(*this, index);
    removeFromSuperview();
    visible_ = false;
    if (auto d = delegate()) d->alertViewDidDismissWithButtonIndex(*this, index);
}

bool UIAlertView::pressButtonAtIndex(int64_t index) {
    if (!visible_ || index < 0 || index >= int64_t(buttons_.size())) return false;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

UIActionSheet::UIActionSheet(std::optional<std::string> title,
                             const std::shared_ptr<UIActionSheetDelegate>& delegate,
                             std::optional<std::string> cancelButtonTitle,
                             std::optional<std::string> destructiveButtonTitle,
                             std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), delegate_(delegate) {
    if (destructiveButtonTitle) {
        destructiveButtonIndex_ = 0;
        buttons_.push_back(*destructiveButtonTitle);
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
    if (cancelButtonTitle) {
        cancelButtonIndex_ = int64_t(buttons_.size());
        buttons_.push_back(*cancelButtonTitle);
    }
}

int64_t UIActionSheet::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    return int64_t(buttons_.size()) - 1;
}

std::optional<std::string> UIActionSheet::buttonTitleAtIndex(int64_t index) const {
    if (index < 0 || index >= int64_t(buttons_.size())) return std::nullopt;
    return buttons_[index];
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view) {
    auto window = view ? view->window() : nullptr;
    if (visible_ || !window) return;
    setFrame(window->bounds());
    window->addSubview(sharedAs<UIActionSheet>());
    visible_ = true;
}

void UIActionSheet::dismissWithClickedButtonIndex(int64_t index, bool) {
    if (!visible_) return;
    auto self = sharedAs<UIActionSheet>();
    if (auto d = delegate()) d->actionSheetWillDismissWithButtonIndex(*this, index);
    removeFromSuperview();
    visible_ = false;
    if (auto d = delegate()) d->actionSheetDidDismissWithButtonIndex(*this, index);
}

bool UIActionSheet::pressButtonAtIndex(int64_t index) {
    if (!visible_ || index < 0 || index >= int64_t(buttons_.size())) return false;
    auto self = sharedAs<UIActionSheet>();
    if (auto d = delegate()) d->actionSheetClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

namespace {

const UIColor kButtonBlue{0, 122.0 / 255, 1, 1};
const UIColor kHairline{0, 0, 0, 0.2};

TextStyle centred(UIFont font, UIColor color = UIColor::blackColor()) {
    TextStyle s;
    s.font = std::move(font);
    s.color = color;
    s.alignment = NSTextAlignment::Center;
    return s;
}

void dim(CGContext& ctx, const CGRect& b) {
    ctx.setFillColor(UIColor(0, 0, 0, 0.4));
    ctx.fillRect(b);
}

}  // namespace

void UIAlertView::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    CGRect b = bounds();
    dim(*ctx, b);
    // A 270-point box: title, message, then the buttons side by side (two) or stacked.
    const double width = 270, pad = 16, buttonHeight = 44;
    TextStyle titleStyle = centred(UIFont::boldSystemFontOfSize(17));
    TextStyle messageStyle = centred(UIFont::systemFontOfSize(13));
    double titleH = title_ ? TextLayout::measure(*title_, titleStyle, width - 2 * pad).height : 0;
    double messageH = message_ ? TextLayout::measure(*message_, messageStyle, width - 2 * pad).height : 0;
    bool sideBySide = buttons_.size() == 2;
    size_t rows = buttons_.empty() ? 0 : (sideBySide ? 1 : buttons_.size());
    double height = pad + titleH + (messageH > 0 ? 4 + messageH : 0) + pad + rows * buttonHeight;
    CGRect box(b.midX() - width / 2, b.midY() - height / 2, width, height);
    ctx->beginPath();
    ctx->addPath(CGPath::withRoundedRect(box, 13, 13));
    ctx->setFillColor(UIColor(0.97, 0.97, 0.97, 1));
    ctx->fillPath();
    double y = box.minY() + pad;
    if (title_) TextLayout::draw(*ctx, *title_, CGRect(box.minX() + pad, y, width - 2 * pad, titleH), titleStyle);
    y += titleH + (messageH > 0 ? 4 : 0);
    if (message_) TextLayout::draw(*ctx, *message_, CGRect(box.minX() + pad, y, width - 2 * pad, messageH), messageStyle);
    y += messageH + pad;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        CGRect cell = sideBySide ? CGRect(box.minX() + width / 2 * double(i), y, width / 2, buttonHeight)
                                 : CGRect(box.minX(), y + buttonHeight * double(i), width, buttonHeight);
        ctx->setFillColor(kHairline);
        ctx->fillRect(CGRect(cell.minX(), cell.minY(), cell.width(), 0.5));
        if (sideBySide && i == 1) ctx->fillRect(CGRect(cell.minX(), cell.minY(), 0.5, cell.height()));
        TextStyle style = centred(int64_t(i) == cancelButtonIndex_ ? UIFont::boldSystemFontOfSize(17)
                                                                  : UIFont::systemFontOfSize(17),
                                  kButtonBlue);
        double h = TextLayout::measure(buttons_[i], style, cell.width()).height;
        TextLayout::draw(*ctx, buttons_[i], CGRect(cell.minX(), cell.midY() - h / 2, cell.width(), h), style);
    }
}

void UIActionSheet::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    CGRect b = bounds();
    dim(*ctx, b);
    // A sheet at the bottom: the title, then one row per button, the destructive one in red.
    const double rowHeight = 57, pad = 8;
    TextStyle titleStyle = centred(UIFont::systemFontOfSize(13), UIColor(0.45, 0.45, 0.45, 1));
    double width = std::max(0.0, b.width() - 2 * pad);
    double titleH = title_ ? TextLayout::measure(*title_, titleStyle, width - 2 * pad).height + 2 * pad : 0;
    double height = titleH + rowHeight * double(buttons_.size());
    CGRect sheet(b.minX() + pad, b.maxY() - pad - height, width, height);
    ctx->beginPath();
    ctx->addPath(CGPath::withRoundedRect(sheet, 13, 13));
    ctx->setFillColor(UIColor(0.97, 0.97, 0.97, 1));
    ctx->fillPath();
    if (title_) TextLayout::draw(*ctx, *title_, CGRect(sheet.minX() + pad, sheet.minY() + pad, width - 2 * pad, titleH), titleStyle);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        CGRect row(sheet.minX(), sheet.minY() + titleH + rowHeight * double(i), width, rowHeight);
        ctx->setFillColor(kHairline);
        if (i > 0 || titleH > 0) ctx->fillRect(CGRect(row.minX(), row.minY(), row.width(), 0.5));
        bool destructive = int64_t(i) == destructiveButtonIndex_;
        TextStyle style = centred(int64_t(i) == cancelButtonIndex_ ? UIFont::boldSystemFontOfSize(20)
                                                                  : UIFont::systemFontOfSize(20),
                                  destructive ? UIColor(1, 0.23, 0.19, 1) : kButtonBlue);
        double h = TextLayout::measure(buttons_[i], style, row.width()).height;
        TextLayout::draw(*ctx, buttons_[i], CGRect(row.minX(), row.midY() - h / 2, row.width(), h), style);
    }
}

}  // namespace brindlecue::platform
