#include "presentation/KJChoiceViewController.h"

#include <algorithm>
#include <mutex>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableViewCell.h"
#include "presentation/UIViewControllerKJViewExt.h"

namespace brindlecue {

using namespace platform;

namespace {

constexpr double kMargin = 10.0;
constexpr double kSideInset = 30.0;
constexpr double kTextHeightLimit = 1000.0;
constexpr double kCancelHeight = 44.0;

// The height a text takes in the label's font at the width.
double textHeight(const std::string& text, const UIFont& font, double width) {
    return UILabel::measure(text, font, width, 0).height;
}

bool hasText(const std::optional<std::string>& text) {
    return text && !text->empty();
}

// Shows the text in the label at (x, y, width), as high as the text needs; a label without text
// is hidden with a zero frame. The height taken, 0 for none.
double placeText(UILabel& label, const std::optional<std::string>& text, double y, double width) {
    if (!hasText(text)) {
        label.setHidden(true);
        label.setFrame(CGRect());
        return 0;
    }
    label.setHidden(false);
    label.setText(*text);
    const double height = std::min(textHeight(*text, label.font(), width), kTextHeightLimit);
    label.setFrame(CGRect(kMargin, y, width, height));
    return height;
}

}  // namespace

KJChoiceViewController::~KJChoiceViewController() {
    if (tableChoice) {
        tableChoice->setDataSource(nullptr);
        tableChoice->setTableDelegate(nullptr);
    }
}

void KJChoiceViewController::didConstruct() {
    UIViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        if (!ClassRegistry::exists("BLQBaseViewController"))
            ClassRegistry::registerClass("BLQBaseViewController", "UIViewController");
        ClassRegistry::registerClass("KJChoiceViewController", "BLQBaseViewController");
    });
}

// The dialog's controls: a white rounded card with a bold title, a grey message, the options and
// a cancel button whose font and colour the options take.
void KJChoiceViewController::loadView() {
    auto root = make<UIView>(CGRect(0, 0, 315, 200));
    root->setBackgroundColor(UIColor::whiteColor());
    root->setClipsToBounds(true);
    root->layer()->cornerRadius = 12;

    labelTitle = make<UILabel>();
    labelTitle->setFont(UIFont::boldSystemFontOfSize(17));
    labelTitle->setTextColor(UIColor::blackColor());
    labelTitle->setTextAlignment(NSTextAlignment::Center);
    labelTitle->setNumberOfLines(0);
    labelMessage = make<UILabel>();
    labelMessage->setFont(UIFont::systemFontOfSize(14));
    labelMessage->setTextColor(UIColor::colorWithWhite(0.35, 1));
    labelMessage->setTextAlignment(NSTextAlignment::Center);
    labelMessage->setNumberOfLines(0);

    tableChoice = make<UITableView>(CGRect(0, 0, 295, 105), UITableViewStyle::Plain);
    tableChoice->setRowHeight(kRowHeight);
    tableChoice->setBackgroundColor(UIColor::clearColor());

    buttonCancel = UIButton::buttonWithType(UIButtonType::Custom);
    buttonCancel->setFrame(CGRect(0, 0, 315, kCancelHeight));
    buttonCancel->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    buttonCancel->setTitleColor(UIColor::systemBlueColor(), UIControlStateNormal);
    buttonCancel->setBackgroundColor(UIColor::colorWithWhite(0.96, 1));
    buttonCancel->layer()->borderWidth = 0.5;
    buttonCancel->layer()->borderColor = UIColor::colorWithWhite(0.8, 1);
    buttonCancel->addTarget(
        sharedAs<KJChoiceViewController>(),
        makeSelector("buttonCancelClicked:", &KJChoiceViewController::buttonCancelClicked),
        UIControlEventTouchUpInside);

    root->addSubview(labelTitle);
    root->addSubview(labelMessage);
    root->addSubview(tableChoice);
    root->addSubview(buttonCancel);
    setView(root);
}

void KJChoiceViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto self = sharedAs<KJChoiceViewController>();
    tableChoice->setDataSource(std::static_pointer_cast<UITableViewDataSource>(self));
    tableChoice->setTableDelegate(std::static_pointer_cast<UITableViewDelegate>(self));
    tableChoice->setTableFooterView(make<UIView>(CGRect()));
}

void KJChoiceViewController::arrangeControls(const CGRect& frame) {
    auto root = view();
    const double dialogWidth = frame.width() - 2 * kSideInset;
    const double contentWidth = dialogWidth - 2 * kMargin;

    double y = placeText(*labelTitle, displayTitle, kMargin, contentWidth);
    if (hasText(displayTitle)) y += kMargin;
    const double message = placeText(*labelMessage, displayMessage, y + kMargin, contentWidth);
    if (hasText(displayMessage)) y += kMargin + message;

    const double tableTop = y + kMargin;
    double tableHeight = kRowHeight * static_cast<double>(arrayChoices.size());
    const double cancelHeight = buttonCancel->frame().height();
    const double maximumHeight = frame.height() - 2 * kSideInset;
    double dialogHeight;
    if (tableTop + tableHeight + kMargin + cancelHeight + kMargin > maximumHeight) {
        dialogHeight = maximumHeight;
        tableHeight = maximumHeight - cancelHeight - tableTop - 2 * kMargin;
        tableChoice->setScrollEnabled(true);
    } else {
        dialogHeight = tableTop + tableHeight + kMargin + cancelHeight + kMargin;
        tableChoice->setScrollEnabled(false);
    }

    if (!hasText(displayCancelButton)) displayCancelButton = kDefaultCancelTitle;
    buttonCancel->setTitle(displayCancelButton, UIControlStateNormal);

    root->setFrame(CGRect(kSideInset, (frame.height() - dialogHeight) * 0.5, dialogWidth, dialogHeight));
    tableChoice->setFrame(CGRect(kMargin, tableTop, contentWidth, tableHeight));
    buttonCancel->setFrame(CGRect(0, tableTop + tableHeight + kMargin, dialogWidth, cancelHeight));
    tableChoice->reloadData();
}

int64_t KJChoiceViewController::tableViewNumberOfRowsInSection(UITableView&, int64_t) {
    return static_cast<int64_t>(arrayChoices.size());
}

std::shared_ptr<UITableViewCell> KJChoiceViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = make<UITableViewCell>(UITableViewCellStyle::Default, kCellIdentifier);
        auto label = cell->textLabel();
        label->setFont(buttonCancel->titleLabel()->font());
        label->setTextColor(buttonCancel->titleColorForState(UIControlStateNormal));
        label->setTextAlignment(NSTextAlignment::Center);
        cell->setSelectionStyle(UITableViewCellSelectionStyle::None);
    }
    const auto row = static_cast<size_t>(indexPath.row);
    cell->textLabel()->setText(row < arrayChoices.size() ? std::optional(arrayChoices[row]) : std::nullopt);
    return cell;
}

void KJChoiceViewController::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) {
    answer(false, indexPath.row);
}

void KJChoiceViewController::buttonCancelClicked() {
    answer(true, -1);
}

void KJChoiceViewController::answer(bool cancelled, int64_t row) {
    auto self = sharedAs<KJChoiceViewController>();  // the handler may let go of the dialog
    if (ChoiceHandler handler = choiceHandler) handler(cancelled, row);
    if (!parentViewController()) UIViewControllerKJViewExt::dismissOnTop(self);
}

}  // namespace brindlecue
