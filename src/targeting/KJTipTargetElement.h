#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/BLQITipTargetElement.h"
#include "platform/Value.h"
#include "platform/uikit/NSIndexPath.h"

namespace brindlecue {

namespace platform {
class UICollectionView;
class UITableView;
class UIView;
class UIViewController;
}  // namespace platform

// Where in the host app a campaign step (or a whole campaign) points: its screen ("_ALL_" for
// every screen), and the view on it as an ancestor path, a class name and an index among like
// views, optionally an accessibility identifier, a control identifier and a table or collection
// index path. Built from the step's or campaign's document ("view", "target-params", "target").
//
// The descriptor can also look its view up inside a given screen itself
// (findTargetInViewController), scrolling a table or collection to its index path; while a
// table row it waits for is not loaded it observes the table's scrolling and asks the tip engine
// for the screen again 0.1 s after each movement. It stops observing when it goes. Main queue.
class KJTipTargetElement final : public BLQITipTargetElement {
public:
    KJ_TIP_ELEMENT(KJTipTargetElement)

    static constexpr const char* kAllScreens = "_ALL_";

    // Gives the campaign model its step targets ("KJTipTargetElement").
    static void registerWithCampaignModel();

    // Where a step stands in its campaign: the campaign's tip type (1 a tour) and the step's
    // position among its steps (none when the campaign does not list it).
    struct StepPlace {
        int32_t campaignTipType = 0;
        std::optional<size_t> position;
    };
    // How the descriptor learns that of its step; the campaign model installs it. Until then no
    // step counts as part of a tour.
    using StepPlaceLookup = std::function<std::optional<StepPlace>(const KJTipElement& step)>;
    static void setStepPlaceLookup(StepPlaceLookup lookup);

    KJTipTargetElement() = default;
    ~KJTipTargetElement() override;

    std::string vcClass() const override { return vcClassName.value_or(""); }
    void setVcClass(const std::string& screen) override { vcClassName = screen; }
    void setParentElement(const std::weak_ptr<KJTipElement>& step) override { parentElement = step; }

    // (row, section) when neither is -1.
    std::optional<platform::NSIndexPath> indexPath() const;
    // Whether the screen now shown is this target's: the tip engine's React Native view name
    // when it has one, else the controller's screen name, equal to the screen; "_ALL_" always.
    bool matchVC(const std::shared_ptr<platform::UIViewController>& controller) const;
    bool matchVCForReactNative(const std::string& viewName) const;
    // The target view inside the screen, or none.
    std::shared_ptr<platform::UIView> findTargetInViewController(
        const std::shared_ptr<platform::UIViewController>& controller);
    // The view itself when it is a table (collection) view, else the first found depth first.
    static std::shared_ptr<platform::UITableView> findTableViewInContainView(
        const std::shared_ptr<platform::UIView>& view);
    static std::shared_ptr<platform::UICollectionView> findCollectionViewInContainView(
        const std::shared_ptr<platform::UIView>& view);
    // A scroll of the observed table: the tip engine looks at its screen again 0.1 s later.
    void observeValueForKeyPath(const std::string& keyPath,
                                const std::shared_ptr<platform::NSObject>& object) override;

    std::optional<std::string> ancestor;
    // Decimal text, read as a 32-bit integer when matching.
    std::optional<std::string> index;
    std::optional<std::string> type;
    std::optional<std::string> algoVersion;
    // The screen ("vcClass"); empty text when the document names none.
    std::optional<std::string> vcClassName;
    // A property or selector name of the screen, a view's display string, or a "point_" position.
    std::optional<std::string> control;
    int64_t section = -1;
    int64_t row = -1;
    std::weak_ptr<KJTipElement> parentElement;
    std::optional<std::string> accessibilityIdentifier;
    // The document's "target" list as received.
    platform::Value arrayTargets;

private:
    std::shared_ptr<platform::UIView> findCellInTable(const std::shared_ptr<platform::UITableView>& table);
    std::shared_ptr<platform::UIView> findCellInCollection(
        const std::shared_ptr<platform::UIViewController>& controller,
        const std::shared_ptr<platform::NSObject>& named);
    void stopObservingTables();

    // The tables this descriptor observes.
    std::vector<std::weak_ptr<platform::UITableView>> observedTables_;
};

}  // namespace brindlecue
