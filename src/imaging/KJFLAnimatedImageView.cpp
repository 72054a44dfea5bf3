#include "imaging/KJFLAnimatedImageView.h"

#include <cmath>
#include <limits>
#include <mutex>
#include <numeric>
#include <thread>

#include "imaging/KJFLWeakProxy.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/CADisplayLink.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using platform::CADisplayLink;
using platform::UIImage;

namespace {

// Delays are compared in steps of half the shortest delay honoured (1/100 s).
constexpr double kGreatestCommonDivisorPrecision = 2.0 / kKJFLAnimatedImageDelayTimeIntervalMinimum;
constexpr double kAccumulatorTolerance = 1e-9;

void log(const std::function<std::string()>& producer, uint64_t level) {
    KJFLAnimatedImage::logStringFromBlock(producer, level);
}

}  // namespace

KJFLAnimatedImageView::KJFLAnimatedImageView(const std::shared_ptr<UIImage>& image,
                                             const std::shared_ptr<UIImage>& highlightedImage)
    : UIImageView(image) {
    setHighlightedImage(highlightedImage);
}

KJFLAnimatedImageView::~KJFLAnimatedImageView() {
    if (displayLink_) displayLink_->invalidate();
}

void KJFLAnimatedImageView::didConstruct() {
    UIImageView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { platform::ClassRegistry::registerClass("KJFLAnimatedImageView", "UIImageView"); });
    runLoopMode_ = defaultRunLoopMode();
}

std::string KJFLAnimatedImageView::defaultRunLoopMode() {
    // A single processor gives the interface priority: frames advance only in the default mode.
    return std::thread::hardware_concurrency() < 2 ? platform::NSDefaultRunLoopMode : platform::NSRunLoopCommonModes;
}

void KJFLAnimatedImageView::setRunLoopMode(const std::string& mode) {
    runLoopMode_ = mode == platform::NSDefaultRunLoopMode || mode == platform::NSRunLoopCommonModes
                       ? mode
                       : defaultRunLoopMode();
}

void KJFLAnimatedImageView::setAnimatedImage(const std::shared_ptr<KJFLAnimatedImage>& animatedImage) {
    if (animatedImage == animatedImage_) return;
    if (animatedImage) {
        if (UIImageView::image()) UIImageView::setImage(nullptr);
        UIImageView::setHighlighted(false);
    } else {
        stopAnimating();
    }
    animatedImage_ = animatedImage;
    currentFrame_ = animatedImage ? animatedImage->posterImage() : nullptr;
    currentFrameIndex_ = 0;
    loopCountdown_ = animatedImage && animatedImage->loopCount() > 0 ? animatedImage->loopCount()
                                                                      : std::numeric_limits<uint64_t>::max();
    accumulator_ = 0;
    updateShouldAnimate();
    if (shouldAnimate_) startAnimating();
    redisplay();
}

std::shared_ptr<UIImage> KJFLAnimatedImageView::image() const {
    return animatedImage_ ? currentFrame_ : UIImageView::image();
}

void KJFLAnimatedImageView::setImage(const std::shared_ptr<UIImage>& image) {
    if (image) setAnimatedImage(nullptr);
    UIImageView::setImage(image);
}

void KJFLAnimatedImageView::startAnimating() {
    if (!animatedImage_) {
        UIImageView::startAnimating();
        return;
    }
    const bool made = !displayLink_;
    if (made) {
        // The link holds the view only through the proxy, so it never keeps the view alive.
        auto proxy = KJFLWeakProxy<KJFLAnimatedImageView>::weakProxyForObject(sharedAs<KJFLAnimatedImageView>());
        displayLink_ = CADisplayLink::displayLinkWithAction(
            [proxy](CADisplayLink& link) { proxy->send([&](KJFLAnimatedImageView& view) { view.displayDidRefresh(link); }); });
    }
    // Ticks come about as often as frames can change: every N-th refresh, N the delays' greatest
    // common divisor in sixtieths of a second.
    displayLink_->setFrameInterval(
        std::max<int64_t>(int64_t(frameDelayGreatestCommonDivisor() * kDisplayRefreshRate), 1));
    if (made) displayLink_->addToRunLoop(platform::RunLoop::main(), runLoopMode_);
    displayLink_->setPaused(false);
}

void KJFLAnimatedImageView::stopAnimating() {
    if (!animatedImage_) {
        UIImageView::stopAnimating();
        return;
    }
    if (displayLink_) displayLink_->setPaused(true);
}

bool KJFLAnimatedImageView::isAnimating() const {
    if (!animatedImage_) return UIImageView::isAnimating();
    return displayLink_ && !displayLink_->isPaused();
}

void KJFLAnimatedImageView::setHighlighted(bool highlighted) {
    if (!animatedImage_) UIImageView::setHighlighted(highlighted);
}

platform::CGSize KJFLAnimatedImageView::intrinsicContentSize() const {
    if (!animatedImage_) return UIImageView::intrinsicContentSize();
    auto shown = image();
    return shown ? shown->size() : platform::CGSize{-1, -1};
}

void KJFLAnimatedImageView::setAlpha(double alpha) {
    UIImageView::setAlpha(alpha);
    startOrStopForVisibility();
}

void KJFLAnimatedImageView::setHidden(bool hidden) {
    UIImageView::setHidden(hidden);
    startOrStopForVisibility();
}

void KJFLAnimatedImageView::didMoveToSuperview() {
    UIImageView::didMoveToSuperview();
    startOrStopForVisibility();
}

void KJFLAnimatedImageView::didMoveToWindow() {
    UIImageView::didMoveToWindow();
    startOrStopForVisibility();
}

void KJFLAnimatedImageView::redisplay() {
    layer()->setNeedsDisplay();
    setNeedsDisplay();
}

void KJFLAnimatedImageView::updateShouldAnimate() {
    shouldAnimate_ = animatedImage_ && window() && superview() && !isHidden() && alpha() > 0.0;
}

void KJFLAnimatedImageView::startOrStopForVisibility() {
    updateShouldAnimate();
    if (shouldAnimate_)
        startAnimating();
    else
        stopAnimating();
}

double KJFLAnimatedImageView::frameDelayGreatestCommonDivisor() const {
    const auto& delays = animatedImage_->delayTimesForIndexes();
    if (delays.empty()) return 0;
    int64_t divisor = std::lround(delays.begin()->second * kGreatestCommonDivisorPrecision);
    for (const auto& [index, delay] : delays)
        divisor = std::gcd(std::lround(delay * kGreatestCommonDivisorPrecision), divisor);
    return double(divisor) / kGreatestCommonDivisorPrecision;
}

bool KJFLAnimatedImageView::finishLoopIfAtEnd() {
    if (currentFrameIndex_ < animatedImage_->frameCount()) return true;
    --loopCountdown_;
    if (loopCompletionBlock_) loopCompletionBlock_(loopCountdown_);
    if (loopCountdown_ == 0) {
        stopAnimating();
        return false;
    }
    currentFrameIndex_ = 0;
    return true;
}

void KJFLAnimatedImageView::displayDidRefresh(CADisplayLink& link) {
    if (!shouldAnimate_) {
        log([&] { return "Trying to animate image when we shouldn't: " + description(); }, 2);
        return;
    }
    // The last loop has been played: the last frame stays until another image is set.
    if (loopCountdown_ == 0) return;
    // Keeps the image alive through a loop callback that sets another one.
    const auto animated = animatedImage_;
    const auto& delays = animated->delayTimesForIndexes();
    auto delay = delays.find(currentFrameIndex_);
    if (delay == delays.end()) {
        // A frame that did not decode is skipped; past the last frame playback goes on at frame 0.
        ++currentFrameIndex_;
        finishLoopIfAtEnd();
        return;
    }
    auto frame = animated->imageLazilyCachedAtIndex(currentFrameIndex_);
    if (!frame) {
        // The frame keeps its turn until it has been decoded.
        log(
            [&] {
                return "Waiting for frame " + std::to_string(currentFrameIndex_) +
                       " for animated image: " + animated->description();
            },
            4);
        return;
    }
    log(
        [&] {
            return "Showing frame " + std::to_string(currentFrameIndex_) + " for animated image: " + animated->description();
        },
        5);
    currentFrame_ = std::move(frame);
    if (needsDisplayWhenImageBecomesAvailable_) {
        redisplay();
        needsDisplayWhenImageBecomesAvailable_ = false;
    }
    accumulator_ += link.duration() * double(link.frameInterval());
    // The delay of the frame now shown decides, also when one tick passes several frames.
    // (Sums of refresh durations fall a hair short of the delay they add up to: that is no reason
    // to hold a frame a refresh longer.)
    const double shownDelay = delay->second;
    while (accumulator_ + kAccumulatorTolerance >= shownDelay) {
        accumulator_ -= shownDelay;
        ++currentFrameIndex_;
        if (!finishLoopIfAtEnd()) return;
        needsDisplayWhenImageBecomesAvailable_ = true;
    }
}

}  // namespace brindlecue
