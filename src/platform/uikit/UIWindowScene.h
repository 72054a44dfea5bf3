#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class UIWindow;

enum class UISceneActivationState { Unattached, ForegroundActive, ForegroundInactive, Background };

// A scene of the application. The application has one window scene that new windows join.
class UIScene : public UIResponder {
public:
    BLQ_PLATFORM_CLASS(UIScene)

    UISceneActivationState activationState() const { return activationState_; }
    void setActivationState(UISceneActivationState state) { activationState_ = state; }
    std::shared_ptr<UIResponder> nextResponder() const override;

private:
    UISceneActivationState activationState_ = UISceneActivationState::ForegroundInactive;
};

class UIWindowScene : public UIScene {
public:
    BLQ_PLATFORM_CLASS(UIWindowScene)

    // The live windows of this scene, in the application's window order.
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const;
    UIInterfaceOrientation interfaceOrientation() const;
};

}  // namespace brindlecue::platform
