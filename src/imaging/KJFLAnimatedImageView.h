#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/KJFLAnimatedImage.h"
#include "platform/uikit/UIImageView.h"

namespace brindlecue {

namespace platform {
class CADisplayLink;
}

// An image view that plays a KJFLAnimatedImage frame by frame on a display link, and is a plain
// image view while it holds a still image. It plays only while it is visible (in a window, with a
// superview, not hidden, alpha above 0), keeps each frame on screen for its delay by adding up
// display time, and counts loops against the image's loop count, stopping on the last frame.
// Main thread only.
class KJFLAnimatedImageView : public platform::UIImageView {
public:
    using LoopCompletionBlock = std::function<void(uint64_t loopCountRemaining)>;

    // Screen refreshes per second the frame interval is counted in.
    static constexpr double kDisplayRefreshRate = 60.0;

    KJFLAnimatedImageView() = default;
    explicit KJFLAnimatedImageView(const platform::CGRect& frame) : UIImageView(frame) {}
    explicit KJFLAnimatedImageView(const std::shared_ptr<platform::UIImage>& image) : UIImageView(image) {}
    KJFLAnimatedImageView(const std::shared_ptr<platform::UIImage>& image,
                          const std::shared_ptr<platform::UIImage>& highlightedImage);
    ~KJFLAnimatedImageView() override;
    void didConstruct() override;
    std::string className() const override { return "KJFLAnimatedImageView"; }

    // The default mode with fewer than 2 active processors, else the common modes.
    static std::string defaultRunLoopMode();
    const std::string& runLoopMode() const { return runLoopMode_; }
    // Only the default mode and the common modes are taken; anything else sets the class default.
    // A display link already made keeps the mode it was added with.
    void setRunLoopMode(const std::string& mode);

    const std::shared_ptr<KJFLAnimatedImage>& animatedImage() const { return animatedImage_; }
    void setAnimatedImage(const std::shared_ptr<KJFLAnimatedImage>& animatedImage);
    const LoopCompletionBlock& loopCompletionBlock() const { return loopCompletionBlock_; }
    void setLoopCompletionBlock(LoopCompletionBlock block) { loopCompletionBlock_ = std::move(block); }

    const std::shared_ptr<platform::UIImage>& currentFrame() const { return currentFrame_; }
    uint64_t currentFrameIndex() const { return currentFrameIndex_; }
    // Loops still to play; the largest value for an image that loops for ever.
    uint64_t loopCountdown() const { return loopCountdown_; }
    bool shouldAnimate() const { return shouldAnimate_; }
    // Made on the first start; its action holds the view only weakly.
    const std::shared_ptr<platform::CADisplayLink>& displayLink() const { return displayLink_; }

    // The current frame while an animated image is set, else the still image.
    std::shared_ptr<platform::UIImage> image() const override;
    // A still image replaces the animated one.
    void setImage(const std::shared_ptr<platform::UIImage>& image) override;
    void startAnimating() override;
    void stopAnimating() override;
    bool isAnimating() const override;
    // No effect while an animated image is set.
    void setHighlighted(bool highlighted) override;
    platform::CGSize intrinsicContentSize() const override;
    void setAlpha(double alpha) override;
    void setHidden(bool hidden) override;
    void didMoveToSuperview() override;
    void didMoveToWindow() override;
private:
    // The view draws image(): a new current frame reaches the screen at the next rendering.
    void redisplay();
    void updateShouldAnimate();
    void startOrStopForVisibility();
    // The greatest common divisor of the frame delays, in seconds, to 1/100 s.
    double frameDelayGreatestCommonDivisor() const;
    void displayDidRefresh(platform::CADisplayLink& link);
    // Moves past the last frame: counts the loop and wraps to frame 0; false when the last loop
    // has ended (playback stops on the last frame).
    bool finishLoopIfAtEnd();

    bool shouldAnimate_ = false;
    bool needsDisplayWhenImageBecomesAvailable_ = false;
    std::string runLoopMode_;
    std::shared_ptr<KJFLAnimatedImage> animatedImage_;
    LoopCompletionBlock loopCompletionBlock_;
    std::shared_ptr<platform::UIImage> currentFrame_;
    uint64_t currentFrameIndex_ = 0;
    uint64_t loopCountdown_ = 0;
    double accumulator_ = 0;
    std::shared_ptr<platform::CADisplayLink> displayLink_;
};

}  // namespace brindlecue
