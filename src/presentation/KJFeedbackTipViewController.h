#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "presentation/KJBaseTipViewController.h"

namespace brindlecue {

class KJChoiceViewController;
class KJFeedbackViewController;

// The survey tip (tip type 5). Over the whole cover it shows the step's answer options in a
// choice dialog; a chosen option is sent as a feedback record and the step moves on, or, when the
// step asks for text, the free-text form opens 1.0 s later with the option as its title. A step
// without options opens the form at once (after the same delay). A submitted form is sent and
// moves on; a cancelled form moves on without sending; a cancelled choice reports the step
// rejected. While the library is disabled a choice or a submission sends nothing and the step
// stays.
//
// One survey, one result: the choice dialog takes one answer, the form opens only while the tip
// is still on screen and the survey open, and once the step was left (moved on or cancelled) no
// later answer reports it again. The thank-you for a record the server accepted goes on the tip's
// view while it is on screen. Its own view holds nothing but the dialogs. Main queue.
class KJFeedbackTipViewController : public KJBaseTipViewController {
public:
    static constexpr double kFormDelay = 1.0;
    static constexpr double kFormTop = 50.0;

    std::string className() const override { return "KJFeedbackTipViewController"; }
    void didConstruct() override;

    // Spreads the tip over the frame and shows the choice dialog, or starts the form; false only
    // without a step.
    bool displayUI(const platform::CGRect& coverBounds) override;

    // The dialogs made so far (none before).
    std::shared_ptr<KJChoiceViewController> choiceViewController() const { return choice_; }
    std::shared_ptr<KJFeedbackViewController> feedbackViewController() const { return form_; }
    // The position of the step in its campaign, 0 when it is not listed.
    int64_t stepIndex() const;

    void loadView() override;

private:
    enum class Survey { open, answered, left };

    void choiceMade(bool cancelled, int64_t row);
    void startFreeTextForm();
    void showFreeTextForm();
    void inputGiven(bool submitted, const std::optional<std::string>& title,
                    const std::optional<std::string>& content);
    void submit(const std::optional<std::string>& title, const std::optional<std::string>& content);
    void leaveStep();

    platform::CGRect frame_;
    // The option chosen, which the form starts with.
    std::optional<std::string> chosenText_;
    Survey survey_ = Survey::open;
    std::shared_ptr<KJChoiceViewController> choice_;
    std::shared_ptr<KJFeedbackViewController> form_;
};

}  // namespace brindlecue
