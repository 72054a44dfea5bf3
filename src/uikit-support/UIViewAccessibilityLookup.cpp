#include "uikit-support/UIViewAccessibilityLookup.h"

#include <vector>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIWindowScene.h"

namespace brindlecue {

using platform::UIView;

namespace {

std::shared_ptr<UIView> search(const std::shared_ptr<UIView>& view, const std::string& identifier) {
    const auto& own = view->accessibilityIdentifier();
    if (own && *own == identifier) return view;
    for (const auto& subview : view->subviews())
        if (auto found = search(subview, identifier)) return found;
    return nullptr;
}

}  // namespace

std::shared_ptr<UIView> UIViewAccessibilityLookup::findByAccessibilityIdentifier(
    const std::string& identifier) {
    std::vector<std::shared_ptr<platform::UIWindow>> windows;
    for (const auto& scene : platform::UIApplication::sharedApplication()->connectedScenes())
        if (auto windowScene = std::dynamic_pointer_cast<platform::UIWindowScene>(scene))
            for (const auto& window : windowScene->windows()) windows.push_back(window);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if ((*it)->isKeyWindow()) return search(*it, identifier);
    return nullptr;
}

}  // namespace brindlecue
