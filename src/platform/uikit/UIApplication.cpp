#include "platform/uikit/UIApplication.h"

#include <algorithm>
#include <limits>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIWindowScene.h"

namespace brindlecue::platform {

std::shared_ptr<UIApplication> UIApplication::sharedApplication() {
    // Lives for the process, as the platform's application object does.
    static auto* app = new std::shared_ptr<UIApplication>(make<UIApplication>());
    return *app;
}

void UIApplication::didConstruct() {
    UIResponder::didConstruct();
    scene_ = make<UIWindowScene>();
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    std::vector<std::shared_ptr<UIWindow>> out;
    for (const auto& w : windows_)
        if (auto window = w.lock()) out.push_back(window);
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });
    return out;
}

std::vector<std::shared_ptr<UIScene>> UIApplication::connectedScenes() const {
    return {scene_};
}

CGRect UIApplication::statusBarFrame() const {
    return CGRect(0, 0, UIScreen::mainScreen()->bounds().size.width, statusBarHeight());
}

// ---------------------------------------------------------------- URLs

void UIApplication::openURL(const std::string& url, const Value& options,
                            std::function<void(bool)> completion) {
    openedURLs_.push_back(url);
    bool ok = schemeOpenable(url);
    if (completion) DispatchQueue::main()->async([completion, ok] { completion(ok); });
}

bool UIApplication::canOpenURL(const std::string& url) {
    canOpenQueries_.push_back(url);
    return schemeOpenable(url);
}

bool UIApplication::schemeOpenable(const std::string& url) const {
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    auto it = openableSchemes_.find(scheme);
    return it != openableSchemes_.end() && it->second;
}

void UIApplication::setCanOpenScheme(const std::string& scheme, bool canOpen) {
    openableSchemes_[scheme] = canOpen;
}

// ---------------------------------------------------------------- background tasks

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTask(std::function<void()> expirationHandler) {
    return beginBackgroundTask("", std::move(expirationHandler));
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTask(const std::string&,
                                                              std::function<void()> handler) {
    std::lock_guard lock(taskMutex_);
    UIBackgroundTaskIdentifier id = nextTask_++;
    tasks_[id] = std::move(handler);
    return id;
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier) {
    std::lock_guard lock(taskMutex_);
    tasks_.erase(identifier);
}

size_t UIApplication::activeBackgroundTaskCount() const {
    std::lock_guard lock(taskMutex_);
    return tasks_.size();
}

double UIApplication::backgroundTimeRemaining() const {
    // The platform reports the largest finite value while in the foreground.
    return state_ == UIApplicationState::Background ? 30.0 : std::numeric_limits<double>::max();
}

void UIApplication::expireBackgroundTasks() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(taskMutex_);
        for (const auto& [id, handler] : tasks_)
            if (handler) handlers.push_back(handler);
    }
    // Outside the lock: handlers end their tasks.
    for (const auto& h : handlers) h();
}

// ---------------------------------------------------------------- life cycle

void UIApplication::post(const char* name, Value userInfo, Notification::ObjectMap objects) {
    NotificationCenter::defaultCenter().post(name, shared_from_this(), std::move(userInfo),
                                             std::move(objects));
}

void UIApplication::finishLaunching(const Value& options, Notification::ObjectMap objects) {
    auto self = sharedAs<UIApplication>();
    state_ = UIApplicationState::Inactive;
    if (auto d = delegate()) {
        d->applicationWillFinishLaunchingWithOptions(*this, options);
        d->applicationDidFinishLaunchingWithOptions(*this, options);
    }
    post(UIApplicationDidFinishLaunchingNotification, options, std::move(objects));
}

void UIApplication::becomeActive() {
    if (state_ == UIApplicationState::Active) return;
    state_ = UIApplicationState::Active;
    scene_->setActivationState(UISceneActivationState::ForegroundActive);
    if (auto d = delegate()) d->applicationDidBecomeActive(*this);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::resignActive() {
    if (state_ != UIApplicationState::Active) return;
    if (auto d = delegate()) d->applicationWillResignActive(*this);
    post(UIApplicationWillResignActiveNotification);
    state_ = UIApplicationState::Inactive;
    scene_->setActivationState(UISceneActivationState::ForegroundInactive);
}

void UIApplication::enterBackground() {
    if (state_ == UIApplicationState::Background) return;
    resignActive();
    state_ = UIApplicationState::Background;
    scene_->setActivationState(UISceneActivationState::Background);
    if (auto d = delegate()) d->applicationDidEnterBackground(*this);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground() {
    if (state_ == UIApplicationState::Background) {
        if (auto d = delegate()) d->applicationWillEnterForeground(*this);
        post(UIApplicationWillEnterForegroundNotification);
        state_ = UIApplicationState::Inactive;
        scene_->setActivationState(UISceneActivationState::ForegroundInactive);
    }
    becomeActive();
}

void UIApplication::terminate() {
    if (auto d = delegate()) d->applicationWillTerminate(*this);
    post(UIApplicationWillTerminateNotification);
}

void UIApplication::receiveMemoryWarning() {
    if (auto d = delegate()) d->applicationDidReceiveMemoryWarning(*this);
    post(UIApplicationDidReceiveMemoryWarningNotification);
}

void UIApplication::significantTimeChange() {
    if (auto d = delegate()) d->applicationSignificantTimeChange(*this);
    post(UIApplicationSignificantTimeChangeNotification);
}

void UIApplication::rotateToOrientation(UIDeviceOrientation orientation) {
    auto device = UIDevice::currentDevice();
    device->setOrientation(orientation);
    UIInterfaceOrientation target;
    switch (orientation) {
        case UIDeviceOrientation::Portrait:
            target = UIInterfaceOrientation::Portrait;
            break;
        case UIDeviceOrientation::PortraitUpsideDown:
            target = UIInterfaceOrientation::PortraitUpsideDown;
            break;
        // The interface turns the other way from the device.
        case UIDeviceOrientation::LandscapeLeft:
            target = UIInterfaceOrientation::LandscapeRight;
            break;
        case UIDeviceOrientation::LandscapeRight:
            target = UIInterfaceOrientation::LandscapeLeft;
            break;
        default:
            return;  // face up, face down, unknown: the interface stays
    }
    if (target == interfaceOrientation_) return;
    bool swap =
        UIInterfaceOrientationIsLandscape(target) != UIInterfaceOrientationIsLandscape(interfaceOrientation_);
    interfaceOrientation_ = target;
    auto screen = UIScreen::mainScreen();
    CGRect b = screen->bounds();
    CGSize size = swap ? CGSize{b.size.height, b.size.width} : b.size;
    auto coordinator = make<UIViewControllerTransitionCoordinator>();
    auto all = windows();
    for (const auto& w : all) {
        for (auto vc = w->rootViewController(); vc; vc = vc->presentedViewController())
            vc->viewWillTransitionToSize(size, coordinator);
    }
    screen->setBounds(CGRect(b.origin, size));
    for (const auto& w : all)
        if (w->frame() == b) w->setFrame(screen->bounds());
    coordinator->run();
    post(UIApplicationDidChangeStatusBarOrientationNotification);
}

// ---------------------------------------------------------------- windows

void UIApplication::registerWindow(const std::shared_ptr<UIWindow>& window) {
    std::erase_if(windows_, [](const auto& w) { return w.expired(); });
    windows_.push_back(window);
}

void UIApplication::windowVisibilityChanged(const std::shared_ptr<UIWindow>& window, bool visible) {
    auto it = std::find(visibleWindows_.begin(), visibleWindows_.end(), window);
    if (visible && it == visibleWindows_.end()) visibleWindows_.push_back(window);
    if (!visible && it != visibleWindows_.end()) visibleWindows_.erase(it);
}

void UIApplication::makeWindowKey(const std::shared_ptr<UIWindow>& window) {
    auto old = keyWindow();
    if (old == window) return;
    keyWindow_ = window;
    if (old) NotificationCenter::defaultCenter().post(UIWindow::UIWindowDidResignKeyNotification, old);
    if (window) NotificationCenter::defaultCenter().post(UIWindow::UIWindowDidBecomeKeyNotification, window);
}

void UIApplication::windowGone(const UIWindow*) {
    std::erase_if(windows_, [](const auto& w) { return w.expired(); });
}

std::shared_ptr<UIResponder> UIApplication::nextResponder() const {
    return delegate();
}

}  // namespace brindlecue::platform
