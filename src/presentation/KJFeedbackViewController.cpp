#include "presentation/KJFeedbackViewController.h"

#include <array>
#include <mutex>
#include <string_view>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITextView.h"
#include "presentation/UIViewControllerKJViewExt.h"

namespace brindlecue {

using namespace platform;

namespace {

// White space and line ends, as UTF-8: the ASCII ones, next line, no-break space, the Unicode
// spaces and the line and paragraph separators.
constexpr std::array<std::string_view, 24> kBlanks{" ",
                                                   "\t",
                                                   "\n",
                                                   "\v",
                                                   "\f",
                                                   "\r",
                                                   "\xC2\x85",
                                                   "\xC2\xA0",
                                                   "\xE1\x9A\x80",
                                                   "\xE2\x80\x80",
                                                   "\xE2\x80\x81",
                                                   "\xE2\x80\x82",
                                                   "\xE2\x80\x83",
                                                   "\xE2\x80\x84",
                                                   "\xE2\x80\x85",
                                                   "\xE2\x80\x86",
                                                   "\xE2\x80\x87",
                                                   "\xE2\x80\x88",
                                                   "\xE2\x80\x89",
                                                   "\xE2\x80\x8A",
                                                   "\xE2\x80\xA8",
                                                   "\xE2\x80\xA9",
                                                   "\xE2\x80\xAF",
                                                   "\xE3\x80\x80"};

std::shared_ptr<UIButton> formButton(const std::string& title, const UIColor& text,
                                     const UIColor& background) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(text, UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    button->setBackgroundColor(background);
    button->layer()->cornerRadius = 6;
    return button;
}

}  // namespace

KJFeedbackViewController::~KJFeedbackViewController() {
    if (textboxTitle) textboxTitle->setDelegate(nullptr);
    if (textboxContent) textboxContent->setTextViewDelegate(nullptr);
}

void KJFeedbackViewController::didConstruct() {
    UIViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        if (!ClassRegistry::exists("BLQBaseViewController"))
            ClassRegistry::registerClass("BLQBaseViewController", "UIViewController");
        ClassRegistry::registerClass("KJFeedbackViewController", "BLQBaseViewController");
    });
}

std::string KJFeedbackViewController::trimmed(const std::string& text) {
    std::string_view rest = text;
    for (bool stripped = true; stripped && !rest.empty();) {
        stripped = false;
        for (std::string_view blank : kBlanks) {
            if (rest.starts_with(blank)) {
                rest.remove_prefix(blank.size());
                stripped = true;
            }
            if (rest.ends_with(blank)) {
                rest.remove_suffix(blank.size());
                stripped = true;
            }
        }
    }
    return std::string(rest);
}

// The form's controls on a light grey card: the title field, the content below it, cancel and
// submit side by side at the bottom.
void KJFeedbackViewController::loadView() {
    auto root = make<UIView>(CGRect(0, 0, kSize.width, kSize.height));
    root->layer()->cornerRadius = 10;
    root->setClipsToBounds(true);

    textboxTitle = make<UITextField>(CGRect(12, 12, 276, 36));
    textboxTitle->setBorderStyle(UITextBorderStyle::RoundedRect);
    textboxTitle->setPlaceholder("Title");
    textboxTitle->setFont(UIFont::systemFontOfSize(16));

    textboxContent = make<UITextView>(CGRect(12, 56, 276, 120));
    textboxContent->setBackgroundColor(UIColor::whiteColor());
    textboxContent->setFont(UIFont::systemFontOfSize(15));
    textboxContent->layer()->cornerRadius = 6;

    buttonCancel = formButton("Cancel", UIColor::colorWithWhite(0.2, 1), UIColor::whiteColor());
    buttonCancel->setFrame(CGRect(12, 188, 132, 36));
    buttonSubmit = formButton("Submit", UIColor::whiteColor(), UIColor::systemBlueColor());
    buttonSubmit->setFrame(CGRect(156, 188, 132, 36));
    auto self = sharedAs<KJFeedbackViewController>();
    buttonSubmit->addTarget(
        self, makeSelector("buttonSubmitClicked:", &KJFeedbackViewController::buttonSubmitClicked),
        UIControlEventTouchUpInside);
    buttonCancel->addTarget(
        self, makeSelector("buttonCancelClicked:", &KJFeedbackViewController::buttonCancelClicked),
        UIControlEventTouchUpInside);
    textboxTitle->setDelegate(std::static_pointer_cast<UITextFieldDelegate>(self));

    root->addSubview(textboxTitle);
    root->addSubview(textboxContent);
    root->addSubview(buttonCancel);
    root->addSubview(buttonSubmit);
    setView(root);
}

void KJFeedbackViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::lightGrayColor());
    if (feedbackTitle && !feedbackTitle->empty()) {
        textboxTitle->setText(feedbackTitle);
        textboxContent->becomeFirstResponder();
    } else {
        textboxTitle->becomeFirstResponder();
    }
}

bool KJFeedbackViewController::textFieldShouldReturn(UITextField&) {
    textboxContent->becomeFirstResponder();
    return true;
}

void KJFeedbackViewController::buttonSubmitClicked() {
    auto self = sharedAs<KJFeedbackViewController>();  // the handler may let go of the form
    feedbackTitle = trimmed(textboxTitle->text().value_or(""));
    if (feedbackTitle->empty()) {
        auto alert = UIAlertController::alertControllerWithTitle(kMissingTitleTitle, kMissingTitleMessage,
                                                                 UIAlertControllerStyle::Alert);
        alert->addAction(UIAlertAction::actionWithTitle("OK", UIAlertActionStyle::Cancel, nullptr));
        presentViewController(alert, true);
        return;
    }
    if (InputHandler handler = inputHandler) handler(true, feedbackTitle, textboxContent->text());
    dismissWhenAlone();
}

void KJFeedbackViewController::buttonCancelClicked() {
    auto self = sharedAs<KJFeedbackViewController>();
    if (InputHandler handler = inputHandler) handler(false, std::nullopt, std::nullopt);
    dismissWhenAlone();
}

void KJFeedbackViewController::dismissWhenAlone() {
    if (!parentViewController()) UIViewControllerKJViewExt::dismissOnTop(sharedAs<UIViewController>());
}

}  // namespace brindlecue
