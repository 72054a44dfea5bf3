#pragma once

#include <memory>

namespace brindlecue {

namespace platform {
class UIViewController;
}
class KJMASViewAttribute;

// Attributes of the edges of a view controller's safe area. Each names the root view as view and
// the root view's safe-area layout guide as item (statements made from them install like those
// of the view's own safe-area getters). Main thread.
struct UIViewControllerKJMASAdditions {
    using Attribute = std::shared_ptr<KJMASViewAttribute>;
    // The top edge: its bottom (the plain getter), top and bottom.
    static Attribute mas_topLayoutGuide(const std::shared_ptr<platform::UIViewController>& controller);
    static Attribute mas_topLayoutGuideTop(const std::shared_ptr<platform::UIViewController>& controller);
    static Attribute mas_topLayoutGuideBottom(const std::shared_ptr<platform::UIViewController>& controller);
    // The bottom edge: its top (the plain getter), top and bottom.
    static Attribute mas_bottomLayoutGuide(const std::shared_ptr<platform::UIViewController>& controller);
    static Attribute mas_bottomLayoutGuideTop(const std::shared_ptr<platform::UIViewController>& controller);
    static Attribute mas_bottomLayoutGuideBottom(
        const std::shared_ptr<platform::UIViewController>& controller);
};

}  // namespace brindlecue
