#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "facade/BLQBaseVC.h"
#include "facade/BLQBaseVCImp.h"
#include "facade/BrindlecueBaseCollectionViewController.h"
#include "facade/BrindlecueBaseTableViewController.h"
#include "facade/BrindlecueBaseViewController.h"

namespace brindlecue {

// The library's own screens (Host: one of the three host base classes). They are never reported,
// so only what the host classes do for every screen runs for them. Each has a keyboard adjuster
// (BLQBaseVCImp) for its lifetime, which moves the view out of the keyboard's way while
// isViewAdjustForKeyboard is on (off after every initialiser), and is initialised with the bundle
// that holds its interface file (BLQBaseVCImp::prepareInitForClass of its class). Make objects
// with platform::make: the adjuster and the bundle lookup need the finished object.
template <class Host>
class BLQLibraryScreen : public Host, public BLQBaseVC {
public:
    using Host::Host;

    void didConstruct() override;
    void viewDidLoad() override;

    // Forward to the adjuster; a subclass may override them.
    void keyboardDidShowFrom(const platform::CGRect& begin, const platform::CGRect& end,
                             double duration) override;
    void keyboardDidHideFrom(const platform::CGRect& begin, const platform::CGRect& end,
                             double duration) override;
    bool isViewAdjustForKeyboard() const override { return viewAdjustForKeyboard_.load(); }
    void setIsViewAdjustForKeyboard(bool adjust) override { viewAdjustForKeyboard_.store(adjust); }

    std::shared_ptr<BLQBaseVCImp> imp() const { return imp_; }

protected:
    bool isLibraryScreen() const override { return true; }

private:
    std::atomic<bool> viewAdjustForKeyboard_{false};
    std::shared_ptr<BLQBaseVCImp> imp_;
};

extern template class BLQLibraryScreen<BrindlecueBaseViewController>;
extern template class BLQLibraryScreen<BrindlecueBaseTableViewController>;
extern template class BLQLibraryScreen<BrindlecueBaseCollectionViewController>;

// The base class of the library's view controllers (tip, choice and feedback screens). It posts
// nothing when it appears.
class BLQBaseViewController : public BLQLibraryScreen<BrindlecueBaseViewController> {
public:
    using BLQLibraryScreen::BLQLibraryScreen;
    std::string className() const override { return "BLQBaseViewController"; }
};

// The base class of the library's table view controllers.
class BLQBaseTableViewController : public BLQLibraryScreen<BrindlecueBaseTableViewController> {
public:
    using BLQLibraryScreen::BLQLibraryScreen;
    std::string className() const override { return "BLQBaseTableViewController"; }
};

// The base class of the library's collection view controllers.
class BLQBaseCollectionViewController : public BLQLibraryScreen<BrindlecueBaseCollectionViewController> {
public:
    using BLQLibraryScreen::BLQLibraryScreen;
    std::string className() const override { return "BLQBaseCollectionViewController"; }
};

}  // namespace brindlecue
