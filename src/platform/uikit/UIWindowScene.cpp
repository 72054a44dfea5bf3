#include "platform/uikit/UIWindowScene.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

std::shared_ptr<UIResponder> UIScene::nextResponder() const {
    return UIApplication::sharedApplication();
}

std::vector<std::shared_ptr<UIWindow>> UIWindowScene::windows() const {
    std::vector<std::shared_ptr<UIWindow>> out;
    for (const auto& w : UIApplication::sharedApplication()->windows())
        if (w->windowScene().get() == this) out.push_back(w);
    return out;
}

std::shared_ptr<UIWindow> UIWindowScene::keyWindow() const {
    auto key = UIApplication::sharedApplication()->keyWindow();
    return key && key->windowScene().get() == this ? key : nullptr;
}

UIInterfaceOrientation UIWindowScene::interfaceOrientation() const {
    return UIApplication::sharedApplication()->statusBarOrientation();
}

}  // namespace brindlecue::platform
