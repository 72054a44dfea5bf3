#pragma once

#include <memory>
#include <optional>
#include <string>

#include "facade/BLQHostListScreen.h"
#include "platform/uikit/UICollectionView.h"

namespace brindlecue {

// The base class of a host's collection view controllers (see BLQHostListScreen for what it
// reports). A subclass that overrides a callback calls this class's implementation first; it
// overrides className and registers its name with this class (or a subclass) as superclass.
class BrindlecueBaseCollectionViewController
    : public BLQHostListScreen<platform::UICollectionViewController> {
public:
    // init, initWithCollectionViewLayout: (none: a flow layout)
    explicit BrindlecueBaseCollectionViewController(
        std::shared_ptr<platform::UICollectionViewFlowLayout> layout = nullptr)
        : BLQHostListScreen(std::move(layout)) {}
    // initWithNibName:bundle:
    BrindlecueBaseCollectionViewController(std::optional<std::string> nibName,
                                           std::shared_ptr<platform::Bundle> bundle)
        : BLQHostListScreen(std::move(nibName), std::move(bundle)) {}
    std::string className() const override { return "BrindlecueBaseCollectionViewController"; }
};

}  // namespace brindlecue
