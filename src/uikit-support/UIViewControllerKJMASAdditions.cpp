#include "uikit-support/UIViewControllerKJMASAdditions.h"

#include "platform/uikit/UILayoutGuide.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "uikit-support/KJMASObject.h"
#include "uikit-support/KJMASViewAttribute.h"

namespace brindlecue {

namespace {

UIViewControllerKJMASAdditions::Attribute guideEdge(
    const std::shared_ptr<platform::UIViewController>& controller, int64_t value) {
    auto view = controller ? controller->view() : nullptr;
    std::shared_ptr<platform::NSObject> guide = view ? view->safeAreaLayoutGuide() : nullptr;
    return platform::make<KJMASViewAttribute>(view, guide, value);
}

}  // namespace

// clang-format off
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_topLayoutGuide(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeBottom); }
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_topLayoutGuideTop(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeTop); }
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_topLayoutGuideBottom(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeBottom); }
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_bottomLayoutGuide(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeTop); }
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_bottomLayoutGuideTop(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeTop); }
UIViewControllerKJMASAdditions::Attribute UIViewControllerKJMASAdditions::mas_bottomLayoutGuideBottom(const std::shared_ptr<platform::UIViewController>& c) { return guideEdge(c, KJMASLayoutAttributeBottom); }
// clang-format on

}  // namespace brindlecue
