#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

namespace platform {
class CADisplayLink;
class DispatchQueue;
class NSLayoutConstraint;
class NotificationObserver;
class Progress;
class Timer;
class UIButton;
class UILabel;
}  // namespace platform
class KJMBBackgroundView;
class KJMBProgressHUD;

enum class KJMBProgressHUDDisplayMode : int64_t {
    activityMode = 0,  // a spinning activity indicator
    pieMode = 1,       // a round progress view drawn as a pie
    barMode = 2,       // a bar progress view
    ringMode = 3,      // a round progress view drawn as a ring
    customMode = 4,    // the custom view
    textMode = 5,      // labels and button only
};

enum class KJMBProgressHUDAnimationType : int64_t {
    fadeAnimation = 0,    // alpha only
    zoomAnimation = 1,    // grows in, shrinks out
    shrinkAnimation = 2,  // comes in from 1.5, goes out to 0.5
    growAnimation = 3,    // comes in from 0.5, goes out to 1.5
};

// An offset coordinate this large pushes the bezel against the margin on that side.
inline constexpr double KJMBProgressMaxOffset = 1000000.0;

class KJMBProgressHUDDelegate {
public:
    virtual ~KJMBProgressHUDDelegate() = default;
    // At the end of every hide.
    virtual void hudWasHidden(KJMBProgressHUD& hud) {}
};

// A heads-up view over a host view: a transparent full-size background and a centred rounded
// bezel with, top to bottom, an indicator, a bold label, a details label and a button. It fades
// (or zooms) in and out, may wait a grace time before it shows, may stay a minimum time, may hide
// itself after a delay, and follows a progress value or a progress object. Its timers run on
// the platform clock. Setters store only a different value, then refresh what depends on it.
//
// Its layout is recorded as the platform's constraints (held by the HUD, the bezel and the
// spacers) and the frames those constraints describe are set directly in layoutSubviews: the
// stack is fixed, so no solver is needed. Main thread.
class KJMBProgressHUD : public platform::UIView {
public:
    using CompletionBlock = std::function<void()>;

    // ---- Class operations.
    // A new HUD over the view (topmost subview) that removes itself when hidden, shown at once.
    static std::shared_ptr<KJMBProgressHUD> showHUDAddedTo(const std::shared_ptr<platform::UIView>& view,
                                                           bool animated);
    // Hides the topmost unfinished HUD of the view (removing it once hidden); false without one.
    static bool hideHUDForView(const std::shared_ptr<platform::UIView>& view, bool animated);
    // The topmost subview of the view that is an unfinished HUD.
    static std::shared_ptr<KJMBProgressHUD> HUDForView(const std::shared_ptr<platform::UIView>& view);

    KJMBProgressHUD() = default;
    explicit KJMBProgressHUD(const platform::CGRect& frame) : UIView(frame) {}
    // A HUD the size of the view's bounds (not added to it).
    static std::shared_ptr<KJMBProgressHUD> initWithView(const std::shared_ptr<platform::UIView>& view);
    ~KJMBProgressHUD() override;
    void didConstruct() override;
    std::string className() const override { return "KJMBProgressHUD"; }

    // ---- Showing and hiding.
    void showAnimated(bool animated);
    void hideAnimated(bool animated);
    // Only the latest delayed hide stays scheduled; a showing cancels it.
    void hideAnimated(bool animated, double delay);

    // ---- Properties.
    std::shared_ptr<KJMBProgressHUDDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<KJMBProgressHUDDelegate>& delegate) { delegate_ = delegate; }
    CompletionBlock completionBlock() const;
    void setCompletionBlock(CompletionBlock block);
    double graceTime() const { return graceTime_; }
    void setGraceTime(double seconds) { graceTime_ = seconds; }
    double minShowTime() const { return minShowTime_; }
    void setMinShowTime(double seconds) { minShowTime_ = seconds; }
    bool removeFromSuperViewOnHide() const { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool v) { removeFromSuperViewOnHide_ = v; }
    KJMBProgressHUDDisplayMode mode() const { return mode_; }
    void setMode(KJMBProgressHUDDisplayMode mode);
    std::optional<platform::UIColor> contentColor() const { return contentColor_; }
    void setContentColor(std::optional<platform::UIColor> color);
    KJMBProgressHUDAnimationType animationType() const { return animationType_; }
    void setAnimationType(KJMBProgressHUDAnimationType type) { animationType_ = type; }
    platform::CGPoint offset() const { return offset_; }
    void setOffset(platform::CGPoint offset);
    double margin() const { return margin_; }
    void setMargin(double margin);
    platform::CGSize minSize() const { return minSize_; }
    void setMinSize(platform::CGSize size);
    bool isSquare() const { return square_; }
    void setSquare(bool square);
    bool areDefaultMotionEffectsEnabled() const { return defaultMotionEffectsEnabled_; }
    void setDefaultMotionEffectsEnabled(bool enabled);
    float progress() const { return progress_; }
    void setProgress(float progress);
    std::shared_ptr<platform::Progress> progressObject() const { return progressObject_; }
    // Follows the object's completed fraction on a display link from now on.
    void setProgressObject(const std::shared_ptr<platform::Progress>& progress);
    std::shared_ptr<platform::UIView> customView() const { return customView_; }
    void setCustomView(const std::shared_ptr<platform::UIView>& view);
    const std::shared_ptr<KJMBBackgroundView>& bezelView() const { return bezelView_; }
    const std::shared_ptr<KJMBBackgroundView>& backgroundView() const { return backgroundView_; }
    const std::shared_ptr<platform::UILabel>& label() const { return label_; }
    const std::shared_ptr<platform::UILabel>& detailsLabel() const { return detailsLabel_; }
    const std::shared_ptr<platform::UIButton>& button() const { return button_; }
    // The bezel's alpha when shown.
    double opacity() const { return opacity_; }
    void setOpacity(double opacity) { opacity_ = opacity; }
    // Replaces the content colour for the indicator when set.
    std::optional<platform::UIColor> activityIndicatorColor() const { return activityIndicatorColor_; }
    void setActivityIndicatorColor(std::optional<platform::UIColor> color);

    // ---- State.
    bool hasFinished() const { return finished_; }
    const std::shared_ptr<platform::UIView>& indicator() const { return indicator_; }
    const std::vector<std::shared_ptr<platform::NSLayoutConstraint>>& bezelConstraints() const {
        return bezelConstraints_;
    }
    const std::vector<std::shared_ptr<platform::NSLayoutConstraint>>& paddingConstraints() const {
        return paddingConstraints_;
    }
    // The constraints are rebuilt at the next layout pass.
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const { return needsUpdateConstraints_; }

    // ---- Older interface, mapped onto the above.
    static uint64_t hideAllHUDsForView(const std::shared_ptr<platform::UIView>& view, bool animated);
    static std::vector<std::shared_ptr<KJMBProgressHUD>> allHUDsForView(
        const std::shared_ptr<platform::UIView>& view);
    static std::shared_ptr<KJMBProgressHUD> initWithWindow(const std::shared_ptr<platform::UIView>& window);
    void show(bool animated) { showAnimated(animated); }
    void hide(bool animated) { hideAnimated(animated); }
    void hide(bool animated, double delay) { hideAnimated(animated, delay); }
    void showWhileExecuting(const platform::Selector& method,
                            const std::shared_ptr<platform::NSObject>& target,
                            const std::shared_ptr<platform::NSObject>& object, bool animated);
    // Runs the block on the queue (the default global queue when none is given) while the HUD
    // shows, then hides it on the main queue and runs the completion.
    void showAnimated(bool animated, std::function<void()> block,
                      const std::shared_ptr<platform::DispatchQueue>& queue = nullptr,
                      CompletionBlock completion = nullptr);
    void cleanUp();
    bool taskInProgress() const { return taskInProgress_; }
    std::optional<std::string> labelText() const;
    void setLabelText(std::optional<std::string> text);
    platform::UIFont labelFont() const;
    void setLabelFont(const platform::UIFont& font);
    platform::UIColor labelColor() const;
    void setLabelColor(const platform::UIColor& color);
    std::optional<std::string> detailsLabelText() const;
    void setDetailsLabelText(std::optional<std::string> text);
    platform::UIFont detailsLabelFont() const;
    void setDetailsLabelFont(const platform::UIFont& font);
    platform::UIColor detailsLabelColor() const;
    void setDetailsLabelColor(const platform::UIColor& color);
    platform::UIColor color() const;
    void setColor(const platform::UIColor& color);
    double xOffset() const { return offset_.x; }
    void setXOffset(double x) { setOffset({x, offset_.y}); }
    double yOffset() const { return offset_.y; }
    void setYOffset(double y) { setOffset({offset_.x, y}); }
    double cornerRadius() const;
    void setCornerRadius(double radius);
    bool dimBackground() const;
    void setDimBackground(bool dim);
    platform::CGSize size() const;

    // ---- UIView
    void didMoveToSuperview() override;
    void layoutSubviews() override;

private:
    std::shared_ptr<KJMBProgressHUD> self() { return sharedAs<KJMBProgressHUD>(); }
    void commonInit();
    void setupViews();
    void updateIndicators();
    void updateViewsForColor(const std::optional<platform::UIColor>& color);
    void updateBezelMotionEffects();
    void updateConstraints();
    void updatePaddingConstraints();
    void placeViews();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void animateIn(bool animatingIn, KJMBProgressHUDAnimationType type, std::function<void(bool)> completion);
    void done();
    void setProgressDisplayLinkEnabled(bool enabled);
    void setProgressObjectDisplayLink(const std::shared_ptr<platform::CADisplayLink>& link);
    void updateProgressFromProgressObject();
    void updateForCurrentOrientation();

    std::weak_ptr<KJMBProgressHUDDelegate> delegate_;
    mutable std::mutex completionMutex_;
    CompletionBlock completionBlock_;
    double graceTime_ = 0;
    double minShowTime_ = 0;
    bool removeFromSuperViewOnHide_ = false;
    KJMBProgressHUDDisplayMode mode_ = KJMBProgressHUDDisplayMode::activityMode;
    std::optional<platform::UIColor> contentColor_ = platform::UIColor::colorWithWhite(0, 0.7);
    KJMBProgressHUDAnimationType animationType_ = KJMBProgressHUDAnimationType::fadeAnimation;
    platform::CGPoint offset_{0, 0};
    double margin_ = 20.0;
    platform::CGSize minSize_{0, 0};
    bool square_ = false;
    bool defaultMotionEffectsEnabled_ = true;
    float progress_ = 0;
    std::shared_ptr<platform::Progress> progressObject_;
    std::shared_ptr<platform::UIView> customView_;
    double opacity_ = 1.0;
    std::optional<platform::UIColor> activityIndicatorColor_;

    std::shared_ptr<KJMBBackgroundView> backgroundView_;
    std::shared_ptr<KJMBBackgroundView> bezelView_;
    std::shared_ptr<platform::UILabel> label_;
    std::shared_ptr<platform::UILabel> detailsLabel_;
    std::shared_ptr<platform::UIButton> button_;
    std::shared_ptr<platform::UIView> topSpacer_;
    std::shared_ptr<platform::UIView> bottomSpacer_;
    std::shared_ptr<platform::UIView> indicator_;

    bool useAnimation_ = false;
    bool finished_ = false;
    std::optional<double> showStarted_;
    std::vector<std::shared_ptr<platform::NSLayoutConstraint>> paddingConstraints_;
    std::vector<std::shared_ptr<platform::NSLayoutConstraint>> bezelConstraints_;
    bool needsUpdateConstraints_ = true;
    std::weak_ptr<platform::Timer> graceTimer_;
    std::weak_ptr<platform::Timer> minShowTimer_;
    std::weak_ptr<platform::Timer> hideDelayTimer_;
    std::weak_ptr<platform::CADisplayLink> progressObjectDisplayLink_;
    std::atomic<bool> taskInProgress_{false};
    std::shared_ptr<platform::NotificationObserver> orientationObserver_;
};

}  // namespace brindlecue
