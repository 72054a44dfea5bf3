#pragma once

#include <memory>
#include <optional>
#include <string>

#include "facade/BLQHostListScreen.h"
#include "platform/uikit/UITableView.h"

namespace brindlecue {

// The base class of a host's table view controllers (see BLQHostListScreen for what it reports).
// A subclass that overrides a callback calls this class's implementation first; it overrides
// className and registers its name with this class (or a subclass) as superclass.
class BrindlecueBaseTableViewController : public BLQHostListScreen<platform::UITableViewController> {
public:
    // init, initWithStyle:
    explicit BrindlecueBaseTableViewController(
        platform::UITableViewStyle style = platform::UITableViewStyle::Plain)
        : BLQHostListScreen(style) {}
    // initWithNibName:bundle:
    BrindlecueBaseTableViewController(std::optional<std::string> nibName,
                                      std::shared_ptr<platform::Bundle> bundle)
        : BLQHostListScreen(std::move(nibName), std::move(bundle)) {}
    std::string className() const override { return "BrindlecueBaseTableViewController"; }
};

}  // namespace brindlecue
