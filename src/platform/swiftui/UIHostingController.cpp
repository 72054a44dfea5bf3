#include "platform/swiftui/UIHostingController.h"

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITouch.h"

namespace brindlecue::platform::swiftui {

namespace {

// Entered when the first host is made (the registry's own tables are built by then).
void registerClasses() {
    static const bool registered = [] {
        ClassRegistry::registerClass("_UIHostingView", "UIView", true);
        ClassRegistry::registerClass("UIHostingController", "UIViewController", true);
        return true;
    }();
    (void)registered;
}

}  // namespace

UIHostingView::UIHostingView(const CGRect& frame, std::function<View()> rootView)
    : UIView(frame), rootView_(std::move(rootView)) {
    registerClasses();
}

void UIHostingView::didConstruct() {
    UIView::didConstruct();
    setNeedsLayout();
}

void UIHostingView::didMoveToWindow() {
    UIView::didMoveToWindow();
    setNeedsLayout();
}

void UIHostingView::layoutSubviews() {
    layoutNow();
}

void UIHostingView::layoutNow() {
    if (!built_) built_ = rootView_();
    placed_ = layoutView(*built_, bounds().size);
    laidOut_ = true;
    ++layoutCount_;
    setNeedsDisplay();

    // Preference actions run once the layout is in place; an action may resize the view.
    auto readings = readPreferences(*placed_);
    std::vector<std::function<void()>> due;
    for (size_t i = 0; i < readings.size(); ++i) {
        auto& reading = readings[i];
        bool changed = i >= lastPreferences_.size() || !reading.equal(lastPreferences_[i], reading.value);
        if (changed) due.push_back([action = reading.action, value = reading.value] { action(value); });
    }
    lastPreferences_.clear();
    for (auto& reading : readings) lastPreferences_.push_back(reading.value);
    for (auto& action : due) action();
}

const Placed* UIHostingView::placedRoot() {
    if (!laidOut_ || needsLayout()) layoutIfNeeded();
    if (!laidOut_) layoutNow();
    return placed_ ? &*placed_ : nullptr;
}

void UIHostingView::drawRect(const CGRect&) {
    const Placed* root = placedRoot();
    auto context = UIGraphicsGetCurrentContext();
    if (!root || !context) return;
    drawPlaced(*context, *root);
}

void UIHostingView::touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    const Placed* root = placedRoot();
    if (!root || touches.empty()) return;
    CGPoint point = touches.front()->locationInView(sharedAs<UIView>());
    if (const Placed* button = hitButton(*root, point)) {
        // The action may tear the host down: keep the node alive while it runs.
        NodePtr keep = button->node;
        std::function<void()> action = *keep->action();
        action();
    }
}

UIHostingController::UIHostingController(std::function<View()> rootView) : rootView_(std::move(rootView)) {
    registerClasses();
}

void UIHostingController::loadView() {
    setView(make<UIHostingView>(UIScreen::mainScreen()->bounds(), rootView_));
}

}  // namespace brindlecue::platform::swiftui
