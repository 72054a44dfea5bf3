#include "presentation/FeedbackTemplate.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/Bundle.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIStackView.h"

namespace brindlecue {

using namespace platform;

namespace {

// An image of the app's main bundle by name (a PNG file), or none.
std::shared_ptr<UIImage> imageNamed(const std::string& name) {
    auto bundle = Bundle::main();
    auto path = bundle ? bundle->pathForResource(name, "png") : std::nullopt;
    if (!path) return nullptr;
    std::ifstream file(*path, std::ios::binary);
    Data bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return bytes.empty() ? nullptr : UIImage::imageWithData(bytes);
}

std::shared_ptr<NSLayoutConstraint> pin(const std::shared_ptr<UIView>& a, NSLayoutAttribute attribute,
                                        const std::shared_ptr<UIView>& b, NSLayoutAttribute other) {
    return NSLayoutConstraint::constraintWithItem(a, attribute, NSLayoutRelation::Equal, b, other, 1, 0);
}

}  // namespace

void FeedbackTemplate::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("BLQFeedbackTemplate", "UIView"); });
    if (fromArchive_) return;

    setBackgroundColor(UIColor::lightGrayColor());
    titleStackView()->addArrangedSubview(titleLabel());
    titleStackView()->addArrangedSubview(contentLabel());
    titleLabel()->setText("eweeeeeeee");
    addSubview(titleStackView());
    buttonstackView()->addArrangedSubview(buttonNegativeFeeback());
    buttonstackView()->addArrangedSubview(buttonPostiveFeedback());
    addSubview(buttonstackView());

    auto self = sharedAs<UIView>();
    using A = NSLayoutAttribute;
    NSLayoutConstraint::activateConstraints({
        pin(titleStackView(), A::Leading, self, A::Leading),
        pin(titleStackView(), A::Trailing, self, A::Trailing),
        pin(titleStackView(), A::Top, self, A::Top),
        pin(titleStackView(), A::Bottom, buttonstackView(), A::Top),
    });
    NSLayoutConstraint::activateConstraints({
        pin(buttonstackView(), A::Leading, self, A::Leading),
        pin(buttonstackView(), A::Trailing, self, A::Trailing),
        pin(buttonstackView(), A::Top, titleStackView(), A::Bottom),
        pin(buttonstackView(), A::Bottom, self, A::Bottom),
    });
}

std::shared_ptr<UIStackView> FeedbackTemplate::buttonstackView() {
    if (!buttonstackView_) {
        buttonstackView_ = make<UIStackView>();
        buttonstackView_->axis = UILayoutConstraintAxis::Horizontal;
        buttonstackView_->spacing = 5.0;
        buttonstackView_->distribution = UIStackViewDistribution::FillEqually;
        buttonstackView_->setUserInteractionEnabled(true);
        buttonstackView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return buttonstackView_;
}

std::shared_ptr<UIStackView> FeedbackTemplate::titleStackView() {
    if (!titleStackView_) {
        titleStackView_ = make<UIStackView>();
        titleStackView_->axis = UILayoutConstraintAxis::Vertical;
        titleStackView_->distribution = UIStackViewDistribution::FillProportionally;
        titleStackView_->setUserInteractionEnabled(true);
        titleStackView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return titleStackView_;
}

std::shared_ptr<UILabel> FeedbackTemplate::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = make<UILabel>();
        titleLabel_->setFont(UIFont::boldSystemFontOfSize(18.0));
        titleLabel_->setTextColor(UIColor::blackColor());
        titleLabel_->setNumberOfLines(0);
        titleLabel_->setText("Hffjjjfjfjffj");
    }
    return titleLabel_;
}

std::shared_ptr<UILabel> FeedbackTemplate::contentLabel() {
    if (!contentLabel_) {
        contentLabel_ = make<UILabel>();
        contentLabel_->setTextColor(UIColor::blackColor());
        contentLabel_->setNumberOfLines(0);
        contentLabel_->setText("Sample content");
    }
    return contentLabel_;
}

std::shared_ptr<UIButton> FeedbackTemplate::makeButton() {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(CGRect(0, 0, 45.0, 40.0));
    button->setTintColor(UIColor::blackColor());
    button->addTarget(sharedAs<FeedbackTemplate>(),
                      makeSelector<FeedbackTemplate>("buttonAction:", &FeedbackTemplate::buttonAction),
                      UIControlEventTouchUpInside);
    return button;
}

std::shared_ptr<UIButton> FeedbackTemplate::buttonPostiveFeedback() {
    if (!buttonPostiveFeedback_) {
        buttonPostiveFeedback_ = makeButton();
        buttonPostiveFeedback_->setBackgroundColor(UIColor::grayColor());
        buttonPostiveFeedback_->setImage(imageNamed("thumb"), UIControlStateNormal);
        auto filled = imageNamed("thumb.fill");
        buttonPostiveFeedback_->setImage(filled, UIControlStateHighlighted);
        buttonPostiveFeedback_->setImage(filled, UIControlStateSelected);
    }
    return buttonPostiveFeedback_;
}

std::shared_ptr<UIButton> FeedbackTemplate::buttonNegativeFeeback() {
    if (!buttonNegativeFeeback_) {
        buttonNegativeFeeback_ = makeButton();
        buttonNegativeFeeback_->setBackgroundColor(UIColor::lightGrayColor());
        buttonNegativeFeeback_->setTitle("NO", UIControlStateNormal);
    }
    return buttonNegativeFeeback_;
}

void FeedbackTemplate::buttonAction(const std::shared_ptr<NSObject>&) {
    std::printf("Button tapped\n");
    std::fflush(stdout);
}

}  // namespace brindlecue
