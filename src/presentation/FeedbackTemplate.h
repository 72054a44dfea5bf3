#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIView.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UILabel;
class UIStackView;
}  // namespace platform

// A sample feedback view: a title and a content text stacked over a row of two thumb buttons.
// Its subviews are made on first use. Known to the platform as "BLQFeedbackTemplate". Main
// thread.
class FeedbackTemplate : public platform::UIView {
public:
    // What an archive gives: the view alone, without subviews.
    struct FromArchive {};

    // The whole view, laid out by constraints on a light grey background.
    explicit FeedbackTemplate(const platform::CGRect& frame) : UIView(frame) {}
    explicit FeedbackTemplate(FromArchive) : fromArchive_(true) {}
    void didConstruct() override;
    std::string className() const override { return "BLQFeedbackTemplate"; }

    std::shared_ptr<platform::UIStackView> buttonstackView();
    std::shared_ptr<platform::UIStackView> titleStackView();
    std::shared_ptr<platform::UILabel> titleLabel();
    std::shared_ptr<platform::UILabel> contentLabel();
    std::shared_ptr<platform::UIButton> buttonPostiveFeedback();
    std::shared_ptr<platform::UIButton> buttonNegativeFeeback();

    // Both buttons' touch-up-inside action: writes "Button tapped" to standard output.
    void buttonAction(const std::shared_ptr<platform::NSObject>& sender);

private:
    std::shared_ptr<platform::UIButton> makeButton();

    bool fromArchive_ = false;
    std::shared_ptr<platform::UIStackView> buttonstackView_;
    std::shared_ptr<platform::UIStackView> titleStackView_;
    std::shared_ptr<platform::UILabel> titleLabel_;
    std::shared_ptr<platform::UILabel> contentLabel_;
    std::shared_ptr<platform::UIButton> buttonPostiveFeedback_;
    std::shared_ptr<platform::UIButton> buttonNegativeFeeback_;
};

}  // namespace brindlecue
