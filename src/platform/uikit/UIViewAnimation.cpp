// Block animations of UIView: the changes apply at once, the completion waits for the clock.
#include <utility>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewAnimationRecorder.h"

namespace brindlecue::platform {
namespace {

std::vector<UIViewAnimationRecord>& recordList() {
    static auto* list = new std::vector<UIViewAnimationRecord>;
    return *list;
}

int& animationDepth() {
    static int depth = 0;
    return depth;
}

void runBlock(const UIView::Animations& animations) {
    if (!animations) return;
    ++animationDepth();
    animations();
    --animationDepth();
}

void finishLater(double after, UIView::Completion completion) {
    if (!completion) return;
    // Even a zero-length animation completes on a later turn of the main queue, never inside the
    // call that started it.
    DispatchQueue::main()->asyncAfter(after > 0 ? after : 0,
                                      [completion = std::move(completion)] { completion(true); });
}

void animate(UIViewAnimationRecord r, const UIView::Animations& animations, UIView::Completion completion) {
    r.hadCompletion = static_cast<bool>(completion);
    double total = r.delay + r.duration;
    UIViewAnimationRecorder::record(std::move(r));
    runBlock(animations);
    finishLater(total, std::move(completion));
}

}  // namespace

const std::vector<UIViewAnimationRecord>& UIViewAnimationRecorder::records() {
    return recordList();
}
void UIViewAnimationRecorder::record(UIViewAnimationRecord record) {
    recordList().push_back(std::move(record));
}
void UIViewAnimationRecorder::reset() {
    recordList().clear();
}

void UIView::animateWithDuration(double duration, Animations animations, Completion completion) {
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, uint64_t options, Animations animations,
                                 Completion completion) {
    UIViewAnimationRecord r;
    r.duration = duration;
    r.delay = delay;
    r.options = options;
    animate(std::move(r), animations, std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, double dampingRatio, double velocity,
                                 uint64_t options, Animations animations, Completion completion) {
    UIViewAnimationRecord r;
    r.kind = UIViewAnimationRecord::Kind::Spring;
    r.duration = duration;
    r.delay = delay;
    r.options = options;
    r.dampingRatio = dampingRatio;
    r.initialVelocity = velocity;
    animate(std::move(r), animations, std::move(completion));
}

void UIView::transitionWithView(const std::shared_ptr<UIView>& view, double duration, uint64_t options,
                                Animations animations, Completion completion) {
    UIViewAnimationRecord r;
    r.kind = UIViewAnimationRecord::Kind::Transition;
    r.duration = duration;
    r.options = options;
    r.view = view;
    animate(std::move(r), animations, std::move(completion));
}

void UIView::animateKeyframesWithDuration(double duration, double delay, uint64_t options,
                                          Animations animations, Completion completion) {
    UIViewAnimationRecord r;
    r.kind = UIViewAnimationRecord::Kind::Keyframes;
    r.duration = duration;
    r.delay = delay;
    r.options = options;
    animate(std::move(r), animations, std::move(completion));
}

void UIView::addKeyframeWithRelativeStartTime(double start, double relativeDuration, Animations animations) {
    UIViewAnimationRecord r;
    r.kind = UIViewAnimationRecord::Kind::Keyframe;
    r.relativeStartTime = start;
    r.relativeDuration = relativeDuration;
    UIViewAnimationRecorder::record(std::move(r));
    runBlock(animations);
}

void UIView::performWithoutAnimation(const Animations& actions) {
    int saved = std::exchange(animationDepth(), 0);
    if (actions) actions();
    animationDepth() = saved;
}

bool UIView::isInAnimationBlock() {
    return animationDepth() > 0;
}

}  // namespace brindlecue::platform
