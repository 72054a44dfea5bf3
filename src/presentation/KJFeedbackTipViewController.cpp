#include "presentation/KJFeedbackTipViewController.h"

#include <mutex>
#include <vector>

#include "config/BLQUtilsFacade.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQUtils.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "presentation/KJChoiceViewController.h"
#include "presentation/KJFeedbackManager.h"
#include "presentation/KJFeedbackViewController.h"

namespace brindlecue {

using platform::CGRect;
using platform::UIView;

namespace {

constexpr int64_t kSurveyType = 0;

}  // namespace

void KJFeedbackTipViewController::didConstruct() {
    KJBaseTipViewController::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJFeedbackTipViewController", "KJBaseTipViewController");
    });
}

// The survey draws nothing of the tip's own: its view is a clear stage for the dialogs.
void KJFeedbackTipViewController::loadView() {
    auto root = platform::make<UIView>(platform::UIScreen::mainScreen()->bounds());
    root->setBackgroundColor(platform::UIColor::clearColor());
    setView(root);
}

bool KJFeedbackTipViewController::displayUI(const CGRect& coverBounds) {
    if (!tip()) return false;
    auto tipView = view();
    tipView->setClipsToBounds(false);
    tipView->setBackgroundColor(platform::UIColor::clearColor());
    tipView->setFrame(CGRect(0, 0, coverBounds.width(), coverBounds.height()));
    frame_ = coverBounds;

    // A redraw (after a rotation) puts back what the survey showed.
    if (form_) {
        showFreeTextForm();
        return true;
    }
    const auto& feedback = tip()->feedback;
    const bool hasOptions = feedback && feedback->arrayOptions && !feedback->arrayOptions->empty();
    if (!hasOptions) {
        startFreeTextForm();
        return true;
    }
    if (!choice_) {
        choice_ = platform::make<KJChoiceViewController>();
        std::weak_ptr<KJFeedbackTipViewController> weak = sharedAs<KJFeedbackTipViewController>();
        choice_->choiceHandler = [weak](bool cancelled, int64_t row) {
            if (auto self = weak.lock()) self->choiceMade(cancelled, row);
        };
        choice_->arrayChoices = *feedback->arrayOptions;
        choice_->displayTitle = feedback->feedbackTitle;
        choice_->displayMessage = feedback->feedbackMessage;
        addChildViewController(choice_);
    }
    tipView->addSubview(choice_->view());
    choice_->arrangeControls(coverBounds);
    choice_->didMoveToParentViewController(sharedAs<UIViewController>());
    return true;
}

int64_t KJFeedbackTipViewController::stepIndex() const {
    auto step = tip();
    auto series = step ? step->series.lock() : nullptr;
    if (!series) return 0;
    for (size_t i = 0; i < series->arrayTips.size(); ++i)
        if (series->arrayTips[i] == step) return static_cast<int64_t>(i);
    return 0;
}

void KJFeedbackTipViewController::choiceMade(bool cancelled, int64_t row) {
    // The dialog takes one answer.
    if (survey_ != Survey::open) return;
    if (cancelled) {
        survey_ = Survey::left;
        feedbackCancelButtonClicked();
        return;
    }
    const auto& options = choice_ ? choice_->arrayChoices : std::vector<std::string>();
    if (row < 0 || static_cast<size_t>(row) >= options.size()) return;
    chosenText_ = options[static_cast<size_t>(row)];
    if (tip()->feedback && tip()->feedback->needInput) {
        survey_ = Survey::answered;
        startFreeTextForm();
        return;
    }
    // A disabled library takes the choice nowhere: the survey stays open.
    if (!brindlecueIsEnabled()) return;
    submit(chosenText_, std::nullopt);
    leaveStep();
}

void KJFeedbackTipViewController::startFreeTextForm() {
    std::weak_ptr<KJFeedbackTipViewController> weak = sharedAs<KJFeedbackTipViewController>();
    platform::DispatchQueue::main()->asyncAfter(kFormDelay, [weak] {
        if (auto self = weak.lock()) self->showFreeTextForm();
    });
}

void KJFeedbackTipViewController::showFreeTextForm() {
    // Not for a survey that has ended, nor for a tip no longer on screen.
    auto tipView = viewIfLoaded();
    if (survey_ == Survey::left || !tipView || !tipView->window()) return;
    if (!form_) {
        form_ = platform::make<KJFeedbackViewController>();
        form_->isViewAdjustForKeyboard = false;
        std::weak_ptr<KJFeedbackTipViewController> weak = sharedAs<KJFeedbackTipViewController>();
        form_->inputHandler = [weak](bool submitted, const std::optional<std::string>& title,
                                     const std::optional<std::string>& content) {
            if (auto self = weak.lock()) self->inputGiven(submitted, title, content);
        };
        form_->feedbackTitle = chosenText_;
        addChildViewController(form_);
    }
    while (!tipView->subviews().empty()) {
        auto first = tipView->subviews().front();
        first->removeFromSuperview();
    }
    auto formView = form_->view();
    tipView->addSubview(formView);
    formView->setTranslatesAutoresizingMaskIntoConstraints(false);
    const platform::CGSize size = formView->frame().size;
    formView->setFrame(CGRect((frame_.width() - size.width) * 0.5, kFormTop, size.width, size.height));
    form_->didMoveToParentViewController(sharedAs<UIViewController>());
}

void KJFeedbackTipViewController::inputGiven(bool submitted, const std::optional<std::string>& title,
                                             const std::optional<std::string>& content) {
    if (survey_ == Survey::left) return;
    if (submitted) {
        // A disabled library takes the answer nowhere: the step stays.
        if (!brindlecueIsEnabled()) return;
        submit(title, content);
    }
    leaveStep();
}

void KJFeedbackTipViewController::submit(const std::optional<std::string>& title,
                                         const std::optional<std::string>& content) {
    auto& manager = KJFeedbackManager::shared();
    const KJTipElement& step = *tip();
    platform::Dictionary extra;
    extra.set("custom-tags", platform::Value(manager.getExtraJsonForFeedback(step.feedback)));
    manager.submitFeedbackWithTitle(title, kSurveyType, content, step.campaignid, step.feed_id, stepIndex(),
                                    extra, nullptr, viewIfLoaded());
}

void KJFeedbackTipViewController::leaveStep() {
    survey_ = Survey::left;
    switchToNextTip(true, false);
}

}  // namespace brindlecue
