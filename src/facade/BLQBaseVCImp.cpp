#include "facade/BLQBaseVCImp.h"

#include <utility>

#include "facade/BLQBaseVC.h"
#include "foundation/BLQDeviceUtils.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

using platform::CGRect;
using platform::Notification;
using platform::UIKeyboard;

namespace {

constexpr const char* kNibType = "nib";

struct KeyboardMove {
    CGRect begin;
    std::optional<CGRect> end;
    double duration = 0;
};

KeyboardMove keyboardMoveOf(const Notification& notification) {
    KeyboardMove move;
    if (auto begin = notification.object<CGRect>(UIKeyboard::UIKeyboardFrameBeginUserInfoKey))
        move.begin = *begin;
    if (auto end = notification.object<CGRect>(UIKeyboard::UIKeyboardFrameEndUserInfoKey)) move.end = *end;
    move.duration =
        notification.userInfo()[UIKeyboard::UIKeyboardAnimationDurationUserInfoKey].getNumber().value_or(0);
    return move;
}

}  // namespace

BLQBaseVCImp::~BLQBaseVCImp() {
    auto& center = platform::NotificationCenter::defaultCenter();
    if (showObserver_) center.removeObserver(showObserver_);
    if (hideObserver_) center.removeObserver(hideObserver_);
}

std::shared_ptr<platform::Bundle> BLQBaseVCImp::prepareInitForClass(
    const std::string& className, const std::optional<std::string>& nibName,
    const std::shared_ptr<platform::Bundle>& bundle) {
    if (bundle) return bundle;
    // A file that no bundle holds leaves the platform's default lookup to fail where the file is
    // loaded; the host app is not stopped here.
    if (nibName && !nibName->empty()) return blqFindBundleForResource(*nibName, kNibType, false);
    std::string current = className;
    while (true) {
        if (auto found = blqFindBundleForResource(current, kNibType, false)) return found;
        auto superclass = platform::ClassRegistry::superclassOf(current);
        if (!superclass || *superclass == "NSObject") return nullptr;
        current = *superclass;
    }
}

void BLQBaseVCImp::initForVC(const std::shared_ptr<platform::UIViewController>& controller) {
    std::weak_ptr<BLQBaseVCImp> weak = sharedAs<BLQBaseVCImp>();
    auto& center = platform::NotificationCenter::defaultCenter();
    auto show = center.addObserver(UIKeyboard::UIKeyboardDidShowNotification, nullptr, nullptr,
                                   [weak](const Notification& notification) {
                                       if (auto self = weak.lock())
                                           self->keyboardDidShowHandler(notification);
                                   });
    auto hide = center.addObserver(UIKeyboard::UIKeyboardDidHideNotification, nullptr, nullptr,
                                   [weak](const Notification& notification) {
                                       if (auto self = weak.lock())
                                           self->keyboardDidHideHandler(notification);
                                   });
    std::shared_ptr<platform::NotificationObserver> oldShow, oldHide;
    {
        std::lock_guard lock(mutex_);
        vc_ = controller;
        oldShow = std::exchange(showObserver_, std::move(show));
        oldHide = std::exchange(hideObserver_, std::move(hide));
    }
    if (oldShow) center.removeObserver(oldShow);
    if (oldHide) center.removeObserver(oldHide);
}

std::shared_ptr<platform::UIViewController> BLQBaseVCImp::vc() const {
    std::lock_guard lock(mutex_);
    return vc_.lock();
}

std::optional<CGRect> BLQBaseVCImp::frameBeforekeyboardShow() const {
    std::lock_guard lock(mutex_);
    return frameBeforekeyboardShow_;
}

void BLQBaseVCImp::viewDidLoad() {
    if (auto controller = vc()) controller->setEdgesForExtendedLayout(platform::UIRectEdgeNone);
}

void BLQBaseVCImp::keyboardDidShowHandler(const Notification& notification) {
    KeyboardMove move = keyboardMoveOf(notification);
    if (!move.end) return;
    auto controller = vc();
    if (auto* screen = dynamic_cast<BLQBaseVC*>(controller.get()))
        screen->keyboardDidShowFrom(move.begin, *move.end, move.duration);
}

void BLQBaseVCImp::keyboardDidHideHandler(const Notification& notification) {
    KeyboardMove move = keyboardMoveOf(notification);
    auto controller = vc();
    if (auto* screen = dynamic_cast<BLQBaseVC*>(controller.get()))
        screen->keyboardDidHideFrom(move.begin, move.end.value_or(CGRect()), move.duration);
}

void BLQBaseVCImp::keyboardDidShowFrom(const CGRect&, const CGRect& end, double duration) {
    auto controller = vc();
    auto* screen = dynamic_cast<BLQBaseVC*>(controller.get());
    if (screen == nullptr || !screen->isViewAdjustForKeyboard()) return;
    auto view = controller->viewIfLoaded();
    if (!view) return;
    CGRect screenBounds = platform::UIScreen::mainScreen()->bounds();
    CGRect bounds = view->bounds();
    CGRect resting(
        screenBounds.origin.x + bounds.origin.x + (screenBounds.size.width - bounds.size.width) * 0.5,
        screenBounds.origin.y + bounds.origin.y + (screenBounds.size.height - bounds.size.height) * 0.5,
        bounds.size.width, bounds.size.height);
    {
        // A keyboard that changes while up (a second did-show) keeps the frame of the first: the
        // view may have been shortened since.
        std::lock_guard lock(mutex_);
        if (frameBeforekeyboardShow_)
            resting = *frameBeforekeyboardShow_;
        else
            frameBeforekeyboardShow_ = resting;
    }
    double keyboardTop = end.origin.y;
    if (resting.origin.y + resting.size.height <= keyboardTop) return;
    CGRect target = resting.size.height > keyboardTop
                        ? CGRect(resting.origin.x, 0, resting.size.width, keyboardTop)
                        : CGRect(resting.origin.x, keyboardTop - resting.size.height, resting.size.width,
                                 resting.size.height);
    platform::UIView::animateWithDuration(duration, [view, target] { view->setFrame(target); });
}

void BLQBaseVCImp::keyboardDidHideFrom(const CGRect&, const CGRect&, double duration) {
    auto controller = vc();
    auto* screen = dynamic_cast<BLQBaseVC*>(controller.get());
    if (screen == nullptr || !screen->isViewAdjustForKeyboard()) return;
    std::optional<CGRect> resting;
    {
        std::lock_guard lock(mutex_);
        resting = frameBeforekeyboardShow_;
        frameBeforekeyboardShow_.reset();
    }
    auto view = controller->viewIfLoaded();
    if (!resting || !view || view->frame() == *resting) return;
    CGRect target = *resting;
    platform::UIView::animateWithDuration(duration, [view, target] { view->setFrame(target); });
}

}  // namespace brindlecue
