#include "facade/BLQHostListScreen.h"

#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"

namespace brindlecue {

template <class Base>
BLQHostListScreen<Base>::BLQHostListScreen(std::optional<std::string> nibName,
                                           std::shared_ptr<platform::Bundle> bundle) {
    this->initWithNibName(std::move(nibName), std::move(bundle));
}

template <class Base>
void BLQHostListScreen<Base>::didConstruct() {
    Base::didConstruct();
    registerClasses();
}

template <class Base>
std::shared_ptr<platform::UIViewController> BLQHostListScreen<Base>::hostController() const {
    return std::const_pointer_cast<platform::UIViewController>(
        this->template sharedAs<platform::UIViewController>());
}

template <class Base>
void BLQHostListScreen<Base>::viewDidLoad() {
    Base::viewDidLoad();
    displayDeepLinking();
    if (isReported()) postWithController(kCustomFeedNotification);
}

template <class Base>
void BLQHostListScreen<Base>::viewWillAppear(bool animated) {
    Base::viewWillAppear(animated);
    if (isReported()) {
        adoptNavigationSheetInPreviewMode();
        recordEnterBack();
        postWithController(kSuperTagNotification);
    }
    removeLauncherButtons();
}

template <class Base>
void BLQHostListScreen<Base>::viewDidAppear(bool animated) {
    Base::viewDidAppear(animated);
    if (isReported()) {
        reportPageEnter();
        postWithController(kEnterVCNotification);
        checkPreviewMode();
    }
    postAppearedRequests();
}

template <class Base>
void BLQHostListScreen<Base>::viewWillDisappear(bool animated) {
    Base::viewWillDisappear(animated);
    if (!isReported()) return;
    reportPageExit();
    postWithController(kForceDismissTipNotification);
    postWithController(kExitVCNotification);
}

template <class Base>
void BLQHostListScreen<Base>::viewWillTransitionToSize(
    platform::CGSize size,
    const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator) {
    Base::viewWillTransitionToSize(size, coordinator);
    postSizeChange(size, coordinator);
}

template class BLQHostListScreen<platform::UITableViewController>;
template class BLQHostListScreen<platform::UICollectionViewController>;

}  // namespace brindlecue
