#pragma once

#include <memory>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

class UIViewController;
class UIWindowScene;
class UIScreen;

using UIWindowLevel = double;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;

// A window: the root of a view tree, placed on the screen (its frame is in screen coordinates).
// New windows are hidden and join the application's window list and its window scene; the
// application keeps visible windows alive. Showing or hiding a window makes its root view
// controller appear or disappear.
class UIWindow : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIWindow)

    static constexpr const char* UIWindowDidBecomeVisibleNotification =
        "UIWindowDidBecomeVisibleNotification";
    static constexpr const char* UIWindowDidBecomeHiddenNotification = "UIWindowDidBecomeHiddenNotification";
    static constexpr const char* UIWindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";
    static constexpr const char* UIWindowDidResignKeyNotification = "UIWindowDidResignKeyNotification";

    // The main screen's bounds.
    UIWindow();
    explicit UIWindow(const CGRect& frame);
    ~UIWindow() override;
    void didConstruct() override;

    UIWindowLevel windowLevel() const { return windowLevel_; }
    void setWindowLevel(UIWindowLevel level) { windowLevel_ = level; }

    bool isKeyWindow() const;
    void makeKeyWindow();
    void makeKeyAndVisible();
    void setHidden(bool hidden) override;

    std::shared_ptr<UIViewController> rootViewController() const { return rootViewController_; }
    // Installs the controller's view as the window's first subview, sized to the window; a
    // visible window makes the old root disappear and the new one appear.
    void setRootViewController(const std::shared_ptr<UIViewController>& controller);

    std::shared_ptr<UIWindowScene> windowScene() const { return windowScene_.lock(); }
    void setWindowScene(const std::shared_ptr<UIWindowScene>& scene) { windowScene_ = scene; }
    std::shared_ptr<UIScreen> screen() const;

    // The insets of the window's safe area (status bar, home indicator); set by the host or test.
    UIEdgeInsets windowSafeAreaInsets() const { return safeAreaInsets_; }
    void setSafeAreaInsets(const UIEdgeInsets& insets) { safeAreaInsets_ = insets; }

    // The window scene, else the application.
    std::shared_ptr<UIResponder> nextResponder() const override;
    std::shared_ptr<UIWindow> window() const override;

protected:
    std::shared_ptr<CALayer> makeBackingLayer() override;

private:
    void setHiddenFlag();

    UIWindowLevel windowLevel_ = UIWindowLevelNormal;
    std::shared_ptr<UIViewController> rootViewController_;
    std::weak_ptr<UIWindowScene> windowScene_;
    UIEdgeInsets safeAreaInsets_;
};

}  // namespace brindlecue::platform
