#pragma once

#include <memory>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

class UIScrollView;
class UIPanGestureRecognizer;

class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView&) {}
    virtual void scrollViewWillBeginDragging(UIScrollView&) {}
    virtual void scrollViewWillEndDragging(UIScrollView&, CGPoint velocity, CGPoint& targetContentOffset) {}
    virtual void scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) {}
    virtual void scrollViewWillBeginDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView&) {}
};

// A scroll view: the content offset is the bounds origin. Changing it tells the delegate
// (did-scroll) and the key-value observers of "contentOffset", and lays the view out again. Dragging comes
// from the scroll view's own pan recogniser (TouchDriver::pan) or from drag(); deceleration and animated
// scrolling end after kScrollAnimationDuration on the clock.
class UIScrollView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIScrollView)

    static constexpr double kScrollAnimationDuration = 0.3;

    UIScrollView() = default;
    explicit UIScrollView(const CGRect& frame) : UIView(frame) {}
    void didConstruct() override;

    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset, bool animated = false);
    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size) { contentSize_ = size; }
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const UIEdgeInsets& inset) { contentInset_ = inset; }
    UIEdgeInsets adjustedContentInset() const { return contentInset_; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool v) { scrollEnabled_ = v; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool v) { pagingEnabled_ = v; }
    bool bounces() const { return bounces_; }
    void setBounces(bool v) { bounces_ = v; }
    bool isDragging() const { return dragging_; }
    bool isTracking() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    // Scrolls the least distance that shows the rectangle (content coordinates).
    void scrollRectToVisible(const CGRect& rect, bool animated);
    // The offsets the content allows: from minus the insets to the content's far edge.
    CGPoint clampedOffset(CGPoint offset) const;

    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIScrollViewDelegate>& d) { delegate_ = d; }
    std::shared_ptr<UIPanGestureRecognizer> panGestureRecognizer() const { return pan_; }

    // Driver: a drag by the translation (content moves with the finger), released with the
    // velocity; a non-zero velocity decelerates, ending on the clock.
    void drag(CGPoint translation, CGPoint velocity = {});

    void setBounds(const CGRect& bounds) override;

private:
    void handlePan();
    void beginDrag();
    void endDrag(CGPoint velocity);

    CGSize contentSize_;
    UIEdgeInsets contentInset_;
    bool scrollEnabled_ = true;
    bool pagingEnabled_ = false;
    bool bounces_ = true;
    bool dragging_ = false;
    bool decelerating_ = false;
    CGPoint dragStartOffset_;
    std::weak_ptr<UIScrollViewDelegate> delegate_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
};

}  // namespace brindlecue::platform
