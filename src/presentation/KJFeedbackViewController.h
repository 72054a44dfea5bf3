#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UITextView;
}  // namespace platform

// The free-text form of a survey: a one-line title, a multi-line content text, submit and cancel.
// Submitting needs a title (trimmed of white space and line ends; an empty one is refused with an
// alert and the form stays); the content goes as typed. The input handler hears (true, title,
// content) or, for cancel, (false, none, none); a form shown on its own (no parent controller)
// then takes itself off screen. Its view tree is built in code (loadView), kSize large, on a light
// grey card. It is the title field's delegate. Main queue.
class KJFeedbackViewController : public platform::UIViewController, public platform::UITextFieldDelegate {
public:
    using InputHandler = std::function<void(bool submitted, const std::optional<std::string>& title,
                                            const std::optional<std::string>& content)>;

    static constexpr platform::CGSize kSize{300, 236};
    static constexpr const char* kMissingTitleTitle = "Please input title";
    static constexpr const char* kMissingTitleMessage = "Title is mandatory for feedback.";

    KJFeedbackViewController() = default;
    ~KJFeedbackViewController() override;
    std::string className() const override { return "KJFeedbackViewController"; }
    void didConstruct() override;

    InputHandler inputHandler;
    std::shared_ptr<platform::UITextField> textboxTitle;
    std::shared_ptr<platform::UITextView> textboxContent;
    std::shared_ptr<platform::UIButton> buttonSubmit;
    std::shared_ptr<platform::UIButton> buttonCancel;
    // The title the form starts with; after a submission, the title as sent.
    std::optional<std::string> feedbackTitle;
    // Whether the view moves out of the keyboard's way.
    bool isViewAdjustForKeyboard = true;

    void buttonSubmitClicked();
    void buttonCancelClicked();
    // The return key moves on to the content and is always accepted.
    bool textFieldShouldReturn(platform::UITextField& textField) override;

    void loadView() override;
    // Fills in the preset title and gives the keyboard to the content (with a title) or the title.
    void viewDidLoad() override;

    // The text without white space and line ends at either end.
    static std::string trimmed(const std::string& text);

private:
    void dismissWhenAlone();
};

}  // namespace brindlecue
