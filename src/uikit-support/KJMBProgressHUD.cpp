#include "uikit-support/KJMBProgressHUD.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/Progress.h"
#include "platform/uikit/CADisplayLink.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAppearance.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIMotionEffect.h"
#include "uikit-support/KJMBBackgroundView.h"
#include "uikit-support/KJMBBarProgressView.h"
#include "uikit-support/KJMBProgressHUDRoundedButton.h"
#include "uikit-support/KJMBRoundProgressView.h"

namespace brindlecue {

using namespace platform;
using Mode = KJMBProgressHUDDisplayMode;
using Animation = KJMBProgressHUDAnimationType;

namespace {

constexpr double kAnimationDuration = 0.3;
constexpr double kPadding = 4.0;
constexpr float kCompressionResistance = 998;
// The large activity indicator is 37 points square.
constexpr double kActivityIndicatorSize = 37;

std::shared_ptr<NSLayoutConstraint> constraint(const std::shared_ptr<NSObject>& first, NSLayoutAttribute a,
                                               NSLayoutRelation relation,
                                               const std::shared_ptr<NSObject>& second, NSLayoutAttribute b,
                                               double multiplier, double constant,
                                               float priority = UILayoutPriorityRequired) {
    auto c = NSLayoutConstraint::constraintWithItem(first, a, relation, second, b, multiplier, constant);
    c->setPriority(priority);
    return c;
}

// The constraints of "|-(>=margin)-[view]-(>=margin)-|" (or its vertical form "V:..."): at least
// the margin between the view and each edge of its superview.
std::vector<std::shared_ptr<NSLayoutConstraint>> marginConstraints(const std::shared_ptr<UIView>& view,
                                                                   const std::shared_ptr<UIView>& superview,
                                                                   double margin, bool vertical,
                                                                   float priority) {
    auto lead = vertical ? NSLayoutAttribute::Top : NSLayoutAttribute::Leading;
    auto tail = vertical ? NSLayoutAttribute::Bottom : NSLayoutAttribute::Trailing;
    return {
        constraint(view, lead, NSLayoutRelation::GreaterThanOrEqual, superview, lead, 1, margin, priority),
        constraint(superview, tail, NSLayoutRelation::GreaterThanOrEqual, view, tail, 1, margin, priority)};
}

void resistCompression(UIView& view) {
    view.setContentCompressionResistancePriority(kCompressionResistance, UILayoutConstraintAxis::Horizontal);
    view.setContentCompressionResistancePriority(kCompressionResistance, UILayoutConstraintAxis::Vertical);
}

std::shared_ptr<UIAppearanceProxy> proxyInHUD(const std::string& className) {
    return UIAppearance::appearanceWhenContainedInInstancesOfClasses(className, {"KJMBProgressHUD"});
}

// A view counts for the gaps while it is shown and has content.
bool isVisible(const UIView& view) {
    CGSize size = view.intrinsicContentSize();
    return !view.isHidden() && !(size.width == 0 && size.height == 0);
}

}  // namespace

// ---------------------------------------------------------------- class operations

std::shared_ptr<KJMBProgressHUD> KJMBProgressHUD::showHUDAddedTo(const std::shared_ptr<UIView>& view,
                                                                 bool animated) {
    auto hud = initWithView(view);
    hud->setRemoveFromSuperViewOnHide(true);
    if (view) view->addSubview(hud);
    hud->showAnimated(animated);
    return hud;
}

bool KJMBProgressHUD::hideHUDForView(const std::shared_ptr<UIView>& view, bool animated) {
    auto hud = HUDForView(view);
    if (!hud) return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hideAnimated(animated);
    return true;
}

std::shared_ptr<KJMBProgressHUD> KJMBProgressHUD::HUDForView(const std::shared_ptr<UIView>& view) {
    if (!view) return nullptr;
    const auto& subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
        if (auto hud = std::dynamic_pointer_cast<KJMBProgressHUD>(*it); hud && !hud->hasFinished())
            return hud;
    return nullptr;
}

std::shared_ptr<KJMBProgressHUD> KJMBProgressHUD::initWithView(const std::shared_ptr<UIView>& view) {
    return make<KJMBProgressHUD>(view ? view->bounds() : CGRect());
}

// ---------------------------------------------------------------- construction

KJMBProgressHUD::~KJMBProgressHUD() {
    if (orientationObserver_) NotificationCenter::defaultCenter().removeObserver(orientationObserver_);
}

void KJMBProgressHUD::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJMBProgressHUD", "UIView"); });
    commonInit();
}

void KJMBProgressHUD::commonInit() {
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    setAlpha(0);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    layer()->allowsGroupOpacity = false;
    setupViews();
    updateIndicators();
    std::weak_ptr<KJMBProgressHUD> weak = self();
    orientationObserver_ = NotificationCenter::defaultCenter().addObserver(
        UIApplication::UIApplicationDidChangeStatusBarOrientationNotification, nullptr, nullptr,
        [weak](const Notification&) {
            if (auto hud = weak.lock()) hud->updateForCurrentOrientation();
        });
}

void KJMBProgressHUD::setupViews() {
    UIColor defaultColor = contentColor_.value_or(UIColor::colorWithWhite(0, 0.7));

    backgroundView_ = make<KJMBBackgroundView>(bounds());
    backgroundView_->setStyle(KJMBBackgroundStyle::solidColorStyle);
    backgroundView_->setBackgroundColor(UIColor::clearColor());
    backgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    backgroundView_->setAlpha(0);
    addSubview(backgroundView_);

    bezelView_ = make<KJMBBackgroundView>();
    bezelView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bezelView_->layer()->cornerRadius = 5.0;
    bezelView_->setAlpha(0);
    addSubview(bezelView_);
    updateBezelMotionEffects();

    auto makeLabel = [&](double fontSize, int lines) {
        auto label = make<UILabel>();
        label->setAdjustsFontSizeToFitWidth(false);
        label->setTextAlignment(NSTextAlignment::Center);
        label->setTextColor(defaultColor);
        label->setFont(UIFont::boldSystemFontOfSize(fontSize));
        label->setOpaque(false);
        label->setBackgroundColor(UIColor::clearColor());
        label->setNumberOfLines(lines);
        return label;
    };
    label_ = makeLabel(16, 1);
    detailsLabel_ = makeLabel(12, 0);

    auto button = make<KJMBProgressHUDRoundedButton>();
    button->titleLabel()->setTextAlignment(NSTextAlignment::Center);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(12));
    button->setTitleColor(defaultColor, UIControlStateNormal);
    button_ = button;

    for (const std::shared_ptr<UIView>& view :
         {std::shared_ptr<UIView>(label_), std::shared_ptr<UIView>(detailsLabel_),
          std::shared_ptr<UIView>(button_)}) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        resistCompression(*view);
        bezelView_->addSubview(view);
    }

    topSpacer_ = make<UIView>();
    topSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    topSpacer_->setHidden(true);
    bezelView_->addSubview(topSpacer_);
    bottomSpacer_ = make<UIView>();
    bottomSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bottomSpacer_->setHidden(true);
    bezelView_->addSubview(bottomSpacer_);
}

// ---------------------------------------------------------------- showing and hiding

void KJMBProgressHUD::showAnimated(bool animated) {
    if (auto t = minShowTimer_.lock()) t->invalidate();
    useAnimation_ = animated;
    finished_ = false;
    if (graceTime_ > 0) {
        auto hud = self();
        auto timer = Timer::scheduled(graceTime_, false, [hud](Timer&) {
            // Shown only if no hide came during the grace time.
            if (!hud->finished_) hud->showUsingAnimation(hud->useAnimation_);
        });
        graceTimer_ = timer;
        return;
    }
    showUsingAnimation(useAnimation_);
}

void KJMBProgressHUD::hideAnimated(bool animated) {
    if (auto t = graceTimer_.lock()) t->invalidate();
    useAnimation_ = animated;
    finished_ = true;
    if (minShowTime_ > 0 && showStarted_) {
        double elapsed = Clock::now() - *showStarted_;
        if (elapsed < minShowTime_) {
            auto hud = self();
            minShowTimer_ = Timer::scheduled(minShowTime_ - elapsed, false,
                                             [hud](Timer&) { hud->hideUsingAnimation(hud->useAnimation_); });
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void KJMBProgressHUD::hideAnimated(bool animated, double delay) {
    if (auto t = hideDelayTimer_.lock()) t->invalidate();
    auto hud = self();
    hideDelayTimer_ =
        Timer::scheduled(delay, false, [hud, animated](Timer&) { hud->hideAnimated(animated); });
}

void KJMBProgressHUD::showUsingAnimation(bool animated) {
    bezelView_->layer()->removeAllAnimations();
    backgroundView_->layer()->removeAllAnimations();
    if (auto t = hideDelayTimer_.lock()) t->invalidate();
    showStarted_ = Clock::now();
    setAlpha(1);
    setProgressDisplayLinkEnabled(true);
    if (animated) {
        animateIn(true, animationType_, nullptr);
    } else {
        bezelView_->setAlpha(opacity_);
        backgroundView_->setAlpha(1);
    }
}

void KJMBProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && showStarted_) {
        showStarted_.reset();
        auto hud = self();
        animateIn(false, animationType_, [hud](bool) { hud->done(); });
    } else {
        showStarted_.reset();
        bezelView_->setAlpha(0);
        backgroundView_->setAlpha(1);
        done();
    }
}

void KJMBProgressHUD::animateIn(bool animatingIn, Animation type, std::function<void(bool)> completion) {
    if (type == Animation::zoomAnimation)
        type = animatingIn ? Animation::growAnimation : Animation::shrinkAnimation;
    const auto small = CGAffineTransform::makeScale(0.5, 0.5);
    const auto large = CGAffineTransform::makeScale(1.5, 1.5);
    auto bezel = bezelView_;
    if (animatingIn && bezel->alpha() == 0 && type == Animation::growAnimation) bezel->setTransform(small);
    if (animatingIn && bezel->alpha() == 0 && type == Animation::shrinkAnimation) bezel->setTransform(large);
    auto background = backgroundView_;
    double opacity = opacity_;
    auto changes = [=] {
        if (animatingIn)
            bezel->setTransform(CGAffineTransform::identity());
        else if (type == Animation::growAnimation)
            bezel->setTransform(large);
        else if (type == Animation::shrinkAnimation)
            bezel->setTransform(small);
        bezel->setAlpha(animatingIn ? opacity : 0);
        background->setAlpha(animatingIn ? 1 : 0);
    };
    UIView::animateWithDuration(kAnimationDuration, 0, 1.0, 0, UIViewAnimationOptionBeginFromCurrentState,
                                changes, std::move(completion));
}

void KJMBProgressHUD::done() {
    auto keep = self();  // removing the HUD from its superview may release the last other owner
    if (auto t = hideDelayTimer_.lock()) t->invalidate();
    setProgressDisplayLinkEnabled(false);
    if (finished_) {
        setAlpha(0);
        if (removeFromSuperViewOnHide_) removeFromSuperview();
    }
    if (auto block = completionBlock()) block();
    if (auto d = delegate()) d->hudWasHidden(*this);
}

KJMBProgressHUD::CompletionBlock KJMBProgressHUD::completionBlock() const {
    std::lock_guard lock(completionMutex_);
    return completionBlock_;
}

void KJMBProgressHUD::setCompletionBlock(CompletionBlock block) {
    std::lock_guard lock(completionMutex_);
    completionBlock_ = std::move(block);
}

// ---------------------------------------------------------------- indicator and colours

void KJMBProgressHUD::updateIndicators() {
    auto current = indicator_;
    bool isActivity = std::dynamic_pointer_cast<UIActivityIndicatorView>(current) != nullptr;
    bool isRound = std::dynamic_pointer_cast<KJMBRoundProgressView>(current) != nullptr;
    auto replace = [&](std::shared_ptr<UIView> next) {
        if (indicator_) indicator_->removeFromSuperview();
        indicator_ = std::move(next);
        if (indicator_) bezelView_->addSubview(indicator_);
    };
    switch (mode_) {
        case Mode::activityMode:
            if (!isActivity) {
                auto spinner = make<UIActivityIndicatorView>();
                spinner->setFrame(CGRect(0, 0, kActivityIndicatorSize, kActivityIndicatorSize));
                spinner->startAnimating();
                replace(spinner);
            }
            break;
        case Mode::barMode:
            replace(make<KJMBBarProgressView>());
            break;
        case Mode::pieMode:
        case Mode::ringMode:
            if (!isRound) replace(make<KJMBRoundProgressView>());
            if (mode_ == Mode::ringMode)
                std::static_pointer_cast<KJMBRoundProgressView>(indicator_)->setAnnular(true);
            break;
        case Mode::customMode:
            if (customView_ != current) replace(customView_);
            break;
        case Mode::textMode:
            replace(nullptr);
            break;
        default:
            break;
    }
    if (indicator_) {
        indicator_->setTranslatesAutoresizingMaskIntoConstraints(false);
        if (auto receiver = std::dynamic_pointer_cast<KJMBProgressReceiver>(indicator_))
            receiver->setProgress(progress_);
        resistCompression(*indicator_);
    }
    updateViewsForColor(contentColor_);
    setNeedsUpdateConstraints();
}

void KJMBProgressHUD::updateViewsForColor(const std::optional<UIColor>& color) {
    if (!color) return;
    label_->setTextColor(color);
    detailsLabel_->setTextColor(color);
    button_->setTitleColor(color, UIControlStateNormal);

    UIColor indicatorColor = activityIndicatorColor_.value_or(*color);
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_)) {
        if (!proxyInHUD("UIActivityIndicatorView")->colorForKey("color")) spinner->setColor(indicatorColor);
    } else if (auto round = std::dynamic_pointer_cast<KJMBRoundProgressView>(indicator_)) {
        auto proxy = proxyInHUD("KJMBRoundProgressView");
        if (!proxy->colorForKey("progressTintColor")) round->setProgressTintColor(indicatorColor);
        if (!proxy->colorForKey("backgroundTintColor"))
            round->setBackgroundTintColor(indicatorColor.colorWithAlphaComponent(0.1));
    } else if (auto bar = std::dynamic_pointer_cast<KJMBBarProgressView>(indicator_)) {
        auto proxy = proxyInHUD("KJMBBarProgressView");
        if (!proxy->colorForKey("progressColor")) bar->setProgressColor(indicatorColor);
        if (!proxy->colorForKey("lineColor")) bar->setLineColor(indicatorColor);
    } else if (indicator_) {
        indicator_->setTintColor(indicatorColor);
    }
}

void KJMBProgressHUD::updateBezelMotionEffects() {
    if (defaultMotionEffectsEnabled_) {
        auto x = make<UIInterpolatingMotionEffect>("center.x",
                                                   UIInterpolatingMotionEffectType::TiltAlongHorizontalAxis);
        x->maximumRelativeValue = Value(10.0);
        x->minimumRelativeValue = Value(-10.0);
        auto y = make<UIInterpolatingMotionEffect>("center.y",
                                                   UIInterpolatingMotionEffectType::TiltAlongVerticalAxis);
        y->maximumRelativeValue = Value(10.0);
        y->minimumRelativeValue = Value(-10.0);
        auto group = make<UIMotionEffectGroup>();
        group->motionEffects = {x, y};
        bezelView_->addMotionEffect(group);
    } else {
        for (const auto& effect : bezelView_->motionEffects()) bezelView_->removeMotionEffect(effect);
    }
}

// ---------------------------------------------------------------- setters

void KJMBProgressHUD::setMode(Mode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    updateIndicators();
}

void KJMBProgressHUD::setCustomView(const std::shared_ptr<UIView>& view) {
    if (view == customView_) return;
    customView_ = view;
    if (mode_ == Mode::customMode) updateIndicators();
}

void KJMBProgressHUD::setContentColor(std::optional<UIColor> color) {
    if (color == contentColor_) return;
    contentColor_ = color;
    updateViewsForColor(color);
}

void KJMBProgressHUD::setActivityIndicatorColor(std::optional<UIColor> color) {
    if (color == activityIndicatorColor_) return;
    activityIndicatorColor_ = color;
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_))
        spinner->setColor(color);
}

void KJMBProgressHUD::setOffset(CGPoint offset) {
    if (offset == offset_) return;
    offset_ = offset;
    setNeedsUpdateConstraints();
}

void KJMBProgressHUD::setMargin(double margin) {
    if (margin == margin_) return;
    margin_ = margin;
    setNeedsUpdateConstraints();
}

void KJMBProgressHUD::setMinSize(CGSize size) {
    if (size == minSize_) return;
    minSize_ = size;
    setNeedsUpdateConstraints();
}

void KJMBProgressHUD::setSquare(bool square) {
    if (square == square_) return;
    square_ = square;
    setNeedsUpdateConstraints();
}

void KJMBProgressHUD::setDefaultMotionEffectsEnabled(bool enabled) {
    if (enabled == defaultMotionEffectsEnabled_) return;
    defaultMotionEffectsEnabled_ = enabled;
    updateBezelMotionEffects();
}

void KJMBProgressHUD::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    if (auto receiver = std::dynamic_pointer_cast<KJMBProgressReceiver>(indicator_))
        receiver->setProgress(progress);
}

void KJMBProgressHUD::setProgressObject(const std::shared_ptr<Progress>& progress) {
    if (progress == progressObject_) return;
    progressObject_ = progress;
    setProgressDisplayLinkEnabled(true);
}

// ---------------------------------------------------------------- progress following

void KJMBProgressHUD::setProgressDisplayLinkEnabled(bool enabled) {
    if (enabled && progressObject_) {
        if (!progressObjectDisplayLink_.lock()) {
            std::weak_ptr<KJMBProgressHUD> weak = self();
            setProgressObjectDisplayLink(CADisplayLink::displayLinkWithAction([weak](CADisplayLink&) {
                if (auto hud = weak.lock()) hud->updateProgressFromProgressObject();
            }));
        }
    } else {
        setProgressObjectDisplayLink(nullptr);
    }
}

void KJMBProgressHUD::setProgressObjectDisplayLink(const std::shared_ptr<CADisplayLink>& link) {
    auto current = progressObjectDisplayLink_.lock();
    if (link == current) return;
    if (current) current->invalidate();
    progressObjectDisplayLink_ = link;
    if (link) link->addToRunLoop(RunLoop::main(), NSDefaultRunLoopMode);
}

void KJMBProgressHUD::updateProgressFromProgressObject() {
    if (progressObject_) setProgress(static_cast<float>(progressObject_->fractionCompleted()));
}

// ---------------------------------------------------------------- layout

void KJMBProgressHUD::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    setNeedsLayout();
}

void KJMBProgressHUD::updateConstraints() {
    needsUpdateConstraints_ = false;
    auto hud = self();
    auto bezel = std::static_pointer_cast<UIView>(bezelView_);
    const double margin = margin_;

    std::vector<std::shared_ptr<UIView>> subviews{topSpacer_, label_, detailsLabel_, button_, bottomSpacer_};
    if (indicator_) subviews.insert(subviews.begin() + 1, indicator_);

    removeConstraints(std::vector(constraints()));
    topSpacer_->removeConstraints(std::vector(topSpacer_->constraints()));
    bottomSpacer_->removeConstraints(std::vector(bottomSpacer_->constraints()));
    if (!bezelConstraints_.empty()) {
        bezelView_->removeConstraints(bezelConstraints_);
        bezelConstraints_.clear();
    }

    // The bezel is centred (with the offset) unless that would break the margins.
    std::vector<std::shared_ptr<NSLayoutConstraint>> centring{
        constraint(bezel, NSLayoutAttribute::CenterX, NSLayoutRelation::Equal, hud,
                   NSLayoutAttribute::CenterX, 1, offset_.x, 998),
        constraint(bezel, NSLayoutAttribute::CenterY, NSLayoutRelation::Equal, hud,
                   NSLayoutAttribute::CenterY, 1, offset_.y, 998)};
    addConstraints(centring);
    addConstraints(marginConstraints(bezel, hud, margin, false, 999));
    addConstraints(marginConstraints(bezel, hud, margin, true, 999));

    std::vector<std::shared_ptr<NSLayoutConstraint>> bezelConstraints;
    if (!(minSize_ == CGSize{0, 0})) {
        bezelConstraints.push_back(constraint(bezel, NSLayoutAttribute::Width,
                                              NSLayoutRelation::GreaterThanOrEqual, nullptr,
                                              NSLayoutAttribute::NotAnAttribute, 1, minSize_.width, 997));
        bezelConstraints.push_back(constraint(bezel, NSLayoutAttribute::Height,
                                              NSLayoutRelation::GreaterThanOrEqual, nullptr,
                                              NSLayoutAttribute::NotAnAttribute, 1, minSize_.height, 997));
    }
    if (square_)
        bezelConstraints.push_back(constraint(bezel, NSLayoutAttribute::Height, NSLayoutRelation::Equal,
                                              bezel, NSLayoutAttribute::Width, 1, 0, 997));
    topSpacer_->addConstraint(constraint(topSpacer_, NSLayoutAttribute::Height,
                                         NSLayoutRelation::GreaterThanOrEqual, nullptr,
                                         NSLayoutAttribute::NotAnAttribute, 1, margin));
    bottomSpacer_->addConstraint(constraint(bottomSpacer_, NSLayoutAttribute::Height,
                                            NSLayoutRelation::GreaterThanOrEqual, nullptr,
                                            NSLayoutAttribute::NotAnAttribute, 1, margin));
    bezelConstraints.push_back(constraint(topSpacer_, NSLayoutAttribute::Height, NSLayoutRelation::Equal,
                                          bottomSpacer_, NSLayoutAttribute::Height, 1, 0));

    std::vector<std::shared_ptr<NSLayoutConstraint>> padding;
    for (size_t i = 0; i < subviews.size(); ++i) {
        const auto& view = subviews[i];
        bezelConstraints.push_back(constraint(view, NSLayoutAttribute::CenterX, NSLayoutRelation::Equal,
                                              bezel, NSLayoutAttribute::CenterX, 1, 0));
        for (auto& c : marginConstraints(view, bezel, margin, false, UILayoutPriorityRequired))
            bezelConstraints.push_back(c);
        if (i == 0)
            bezelConstraints.push_back(constraint(view, NSLayoutAttribute::Top, NSLayoutRelation::Equal,
                                                  bezel, NSLayoutAttribute::Top, 1, 0));
        if (i == subviews.size() - 1)
            bezelConstraints.push_back(constraint(view, NSLayoutAttribute::Bottom, NSLayoutRelation::Equal,
                                                  bezel, NSLayoutAttribute::Bottom, 1, 0));
        if (i > 0) {
            auto gap = constraint(view, NSLayoutAttribute::Top, NSLayoutRelation::Equal, subviews[i - 1],
                                  NSLayoutAttribute::Bottom, 1, 0);
            bezelConstraints.push_back(gap);
            padding.push_back(gap);
        }
    }
    bezelView_->addConstraints(bezelConstraints);
    bezelConstraints_ = std::move(bezelConstraints);
    paddingConstraints_ = std::move(padding);
    updatePaddingConstraints();
}

void KJMBProgressHUD::updatePaddingConstraints() {
    bool hasVisibleAncestors = false;
    for (const auto& padding : paddingConstraints_) {
        auto first = std::dynamic_pointer_cast<UIView>(padding->firstItem());
        auto second = std::dynamic_pointer_cast<UIView>(padding->secondItem());
        if (!first || !second) continue;
        bool firstVisible = isVisible(*first);
        bool secondVisible = isVisible(*second);
        padding->setConstant(firstVisible && (secondVisible || hasVisibleAncestors) ? kPadding : 0);
        hasVisibleAncestors |= secondVisible;
    }
}

void KJMBProgressHUD::layoutSubviews() {
    UIView::layoutSubviews();
    if (needsUpdateConstraints_)
        updateConstraints();
    else
        updatePaddingConstraints();
    placeViews();
}

// Sets the frames the recorded constraints describe: each stacked view at its content size
// (labels wrap within the margins), the gaps of the padding constraints, spacers of at least
// the margin that share what the minimum size adds, the bezel hugging its stack within the
// margins, centred with the offset as far as the margins allow.
void KJMBProgressHUD::placeViews() {
    const CGRect b = bounds();
    const double margin = margin_;
    const double maxContentWidth = std::max(0.0, b.width() - 4 * margin);
    std::vector<std::shared_ptr<UIView>> stack{topSpacer_, label_, detailsLabel_, button_, bottomSpacer_};
    if (indicator_) stack.insert(stack.begin() + 1, indicator_);

    std::vector<CGSize> sizes;
    double contentWidth = 0, contentHeight = 0;
    for (size_t i = 0; i < stack.size(); ++i) {
        const auto& view = stack[i];
        CGSize size;
        if (view == topSpacer_ || view == bottomSpacer_) {
            size = {0, margin};
        } else if (auto text = std::dynamic_pointer_cast<UILabel>(view)) {
            size = text->sizeThatFits({maxContentWidth, std::numeric_limits<double>::max()});
        } else {
            size = view->intrinsicContentSize();
            if (size.width < 0 || size.height < 0) size = view->bounds().size;
        }
        size.width = std::min(size.width, maxContentWidth);
        sizes.push_back(size);
        contentWidth = std::max(contentWidth, size.width);
        contentHeight += size.height;
        if (i > 0 && i - 1 < paddingConstraints_.size())
            contentHeight += paddingConstraints_[i - 1]->constant();
    }

    double width = contentWidth + 2 * margin;
    double height = contentHeight;
    width = std::max(width, minSize_.width);
    height = std::max(height, minSize_.height);
    if (square_) width = height = std::max(width, height);
    width = std::min(width, std::max(0.0, b.width() - 2 * margin));
    height = std::min(height, std::max(0.0, b.height() - 2 * margin));
    // What the bezel has beyond its stack goes to the two spacers alike.
    double extra = std::max(0.0, height - contentHeight) / 2;
    sizes.front().height += extra;
    sizes.back().height += extra;

    double cx = b.midX() + offset_.x, cy = b.midY() + offset_.y;
    cx = std::clamp(cx, b.minX() + margin + width / 2,
                    std::max(b.minX() + margin + width / 2, b.maxX() - margin - width / 2));
    cy = std::clamp(cy, b.minY() + margin + height / 2,
                    std::max(b.minY() + margin + height / 2, b.maxY() - margin - height / 2));
    bezelView_->setBounds(CGRect(0, 0, width, height));
    bezelView_->setCenter({cx, cy});

    double y = 0;
    for (size_t i = 0; i < stack.size(); ++i) {
        if (i > 0 && i - 1 < paddingConstraints_.size()) y += paddingConstraints_[i - 1]->constant();
        stack[i]->setFrame(CGRect(width / 2 - sizes[i].width / 2, y, sizes[i].width, sizes[i].height));
        y += sizes[i].height;
    }
}

void KJMBProgressHUD::didMoveToSuperview() {
    UIView::didMoveToSuperview();
    updateForCurrentOrientation();
}

void KJMBProgressHUD::updateForCurrentOrientation() {
    if (auto superview = this->superview()) setFrame(superview->bounds());
}

// ---------------------------------------------------------------- older interface

uint64_t KJMBProgressHUD::hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated) {
    auto huds = allHUDsForView(view);
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hideAnimated(animated);
    }
    return huds.size();
}

std::vector<std::shared_ptr<KJMBProgressHUD>> KJMBProgressHUD::allHUDsForView(
    const std::shared_ptr<UIView>& view) {
    std::vector<std::shared_ptr<KJMBProgressHUD>> huds;
    if (!view) return huds;
    for (const auto& subview : view->subviews())
        if (auto hud = std::dynamic_pointer_cast<KJMBProgressHUD>(subview)) huds.push_back(hud);
    return huds;
}

std::shared_ptr<KJMBProgressHUD> KJMBProgressHUD::initWithWindow(const std::shared_ptr<UIView>& window) {
    return initWithView(window);
}

void KJMBProgressHUD::showWhileExecuting(const Selector& method, const std::shared_ptr<NSObject>& target,
                                         const std::shared_ptr<NSObject>& object, bool animated) {
    showAnimated(animated, [method, target, object] {
        if (target && method.call) method.call(*target, object);
    });
}

void KJMBProgressHUD::showAnimated(bool animated, std::function<void()> block,
                                   const std::shared_ptr<DispatchQueue>& queue, CompletionBlock completion) {
    taskInProgress_ = true;
    setCompletionBlock(std::move(completion));
    auto hud = self();
    auto target = queue ? queue : DispatchQueue::global(DispatchQueue::Priority::Default);
    target->async([hud, block = std::move(block)] {
        if (block) block();
        DispatchQueue::main()->async([hud] { hud->cleanUp(); });
    });
    showAnimated(animated);
}

void KJMBProgressHUD::cleanUp() {
    taskInProgress_ = false;
    hideAnimated(useAnimation_);
}

std::optional<std::string> KJMBProgressHUD::labelText() const {
    return label_->text();
}
void KJMBProgressHUD::setLabelText(std::optional<std::string> text) {
    label_->setText(std::move(text));
}
UIFont KJMBProgressHUD::labelFont() const {
    return label_->font();
}
void KJMBProgressHUD::setLabelFont(const UIFont& font) {
    label_->setFont(font);
}
UIColor KJMBProgressHUD::labelColor() const {
    return label_->textColor();
}
void KJMBProgressHUD::setLabelColor(const UIColor& color) {
    label_->setTextColor(color);
}
std::optional<std::string> KJMBProgressHUD::detailsLabelText() const {
    return detailsLabel_->text();
}
void KJMBProgressHUD::setDetailsLabelText(std::optional<std::string> text) {
    detailsLabel_->setText(std::move(text));
}
UIFont KJMBProgressHUD::detailsLabelFont() const {
    return detailsLabel_->font();
}
void KJMBProgressHUD::setDetailsLabelFont(const UIFont& font) {
    detailsLabel_->setFont(font);
}
UIColor KJMBProgressHUD::detailsLabelColor() const {
    return detailsLabel_->textColor();
}
void KJMBProgressHUD::setDetailsLabelColor(const UIColor& color) {
    detailsLabel_->setTextColor(color);
}
UIColor KJMBProgressHUD::color() const {
    return bezelView_->color();
}
void KJMBProgressHUD::setColor(const UIColor& color) {
    bezelView_->setColor(color);
}
double KJMBProgressHUD::cornerRadius() const {
    return bezelView_->layer()->cornerRadius;
}
void KJMBProgressHUD::setCornerRadius(double radius) {
    bezelView_->layer()->cornerRadius = radius;
}
CGSize KJMBProgressHUD::size() const {
    return bezelView_->frame().size;
}

bool KJMBProgressHUD::dimBackground() const {
    return backgroundView_->style() == KJMBBackgroundStyle::solidColorStyle &&
           backgroundView_->color() == UIColor::colorWithWhite(0, 0.2);
}

void KJMBProgressHUD::setDimBackground(bool dim) {
    backgroundView_->setStyle(KJMBBackgroundStyle::solidColorStyle);
    backgroundView_->setColor(dim ? UIColor::colorWithWhite(0, 0.2) : UIColor::clearColor());
}

}  // namespace brindlecue
