#pragma once

#include <memory>
#include <optional>
#include <string>

#include "facade/BLQHostScreen.h"
#include "facade/IKJDeepLinking.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

namespace platform {
class Bundle;
}  // namespace platform

// The table and collection base classes of a host's screens (Base: the platform's table or
// collection view controller). They report as the view controller base class does, with these
// differences: no React Native path; the super-tag request is posted when the screen is about to
// appear, not once it has appeared; no scroll callbacks; the presentation controller's
// will-dismiss and attempt-to-dismiss calls write nothing.
//
// Over one visit a reported screen produces: the custom-feed request (view loaded); the class
// name under "ENTERBAK_PAGE_HISTORY" and the super-tag request (about to appear); page enter,
// enter, the preview check, then show tip and the super-tag view count (appeared); page exit,
// force dismiss and exit (about to disappear).
template <class Base>
class BLQHostListScreen : public Base, public BLQHostScreen, public IKJDeepLinking {
public:
    using Base::Base;
    // initWithNibName:bundle:
    BLQHostListScreen(std::optional<std::string> nibName, std::shared_ptr<platform::Bundle> bundle);

    void didConstruct() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillTransitionToSize(
        platform::CGSize size,
        const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator) override;

protected:
    std::shared_ptr<platform::UIViewController> hostController() const override;
};

extern template class BLQHostListScreen<platform::UITableViewController>;
extern template class BLQHostListScreen<platform::UICollectionViewController>;

}  // namespace brindlecue
