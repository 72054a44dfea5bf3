#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UILabel;
}  // namespace platform

// The choice dialog of a survey: a title, a message, one table row per answer option and a cancel
// button, laid out in the frame it is given (arrangeControls). Picking a row or cancelling tells
// the choice handler; a dialog shown on its own (no parent controller) then takes itself off
// screen, one inside a feedback tip stays until the tip moves on. Its view tree is built in code
// (loadView). It is the table's data source and delegate. Main queue.
class KJChoiceViewController : public platform::UIViewController,
                               public platform::UITableViewDataSource,
                               public platform::UITableViewDelegate {
public:
    using ChoiceHandler = std::function<void(bool cancelled, int64_t row)>;

    static constexpr double kRowHeight = 35.0;
    static constexpr const char* kCellIdentifier = "KJChoiceCell";
    static constexpr const char* kDefaultCancelTitle = "Cancel";

    KJChoiceViewController() = default;
    ~KJChoiceViewController() override;
    std::string className() const override { return "KJChoiceViewController"; }
    void didConstruct() override;

    // Told (false, row) for a picked option, (true, -1) for the cancel button.
    ChoiceHandler choiceHandler;
    std::shared_ptr<platform::UILabel> labelTitle;
    std::shared_ptr<platform::UILabel> labelMessage;
    std::shared_ptr<platform::UIButton> buttonCancel;
    std::shared_ptr<platform::UITableView> tableChoice;
    std::vector<std::string> arrayChoices;
    std::optional<std::string> displayTitle;
    std::optional<std::string> displayMessage;
    // "Cancel" when empty.
    std::optional<std::string> displayCancelButton;
    // Whether the view moves out of the keyboard's way (no keyboard is shown here).
    bool isViewAdjustForKeyboard = false;

    // Lays the dialog out for a frame of width W and height H: 60 points narrower than W, as high
    // as its texts, rows and cancel button need, at most 60 points less than H (the rows scroll
    // then), centred vertically 30 points from the left.
    void arrangeControls(const platform::CGRect& frame);
    void buttonCancelClicked();

    // ---- Table data source and delegate
    int64_t numberOfSectionsInTableView(platform::UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(platform::UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override {
        return kRowHeight;
    }
    std::shared_ptr<platform::UITableViewCell> tableViewCellForRowAtIndexPath(
        platform::UITableView& table, const platform::NSIndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(platform::UITableView& table,
                                          const platform::NSIndexPath& indexPath) override;

    void loadView() override;
    void viewDidLoad() override;

private:
    void answer(bool cancelled, int64_t row);
};

}  // namespace brindlecue
