#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UICollectionView;
class UITableView;
class UIView;
}  // namespace platform

class BLQITipLauncherElement;
class KJTipElement;

// A campaign's launcher: the small icon button (a beacon) put beside a host view for a campaign
// that shows its first step only when the user taps it. The record is the campaign's "launcher"
// object: its icon, side, glow, size, tint, padding and margin. The class operations build the
// button (tagged 888900, carrying the campaign's feed id as its launcher id), insert it into the
// host's view tree once per campaign (under the tip engine's launcher lock) and place it beside
// its target. They reach the tip engine the facade publishes (BLQPublished). Main queue.
class KJTipLauncherElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipLauncherElement)

    static constexpr double kDefaultSize = 32;
    // The gap between a launcher and its target.
    static constexpr double kGap = 5;

    // Makes the campaign model build a campaign's launcher through this class.
    static void registerWithCampaignModel();
    // The launcher element the tip engine's triggers are given (their BLQITipLauncherElement).
    static std::shared_ptr<BLQITipLauncherElement> launcherElement();

    // Builds the launcher of the first step's campaign beside the target (none for a launcher at
    // a position of the screen), inserts and places it, and returns it; none without a step. A
    // launcher whose campaign has one on screen already is still returned (the campaign's trigger
    // control) but never inserted.
    static std::shared_ptr<platform::UIButton> addLauncherForTip(
        const std::shared_ptr<KJTipElement>& tip, const std::shared_ptr<platform::UIView>& target);
    // Inserts the button into the host's view tree, unless a launcher of the step's feed id is a
    // direct subview of the target, of its table or collection view, or of the key window. The
    // button gets the launcher's size at the target's origin in the view it goes into (the
    // window's origin when there is no target).
    static void placeButtonLauncherIntoViewHierarchy(const std::shared_ptr<platform::UIButton>& button,
                                                     const std::shared_ptr<platform::UIView>& target,
                                                     const std::shared_ptr<KJTipElement>& tip);
    // Moves the button beside its target on the launcher's side (any other side leaves it).
    static void adjustPositionButtonLuncher(const std::shared_ptr<platform::UIButton>& button,
                                            const std::shared_ptr<platform::UIView>& target,
                                            const std::shared_ptr<KJTipElement>& tip);
    // The first table (collection) view from the view itself up its superviews; a window ends the
    // walk unexamined.
    static std::shared_ptr<platform::UITableView> findTableViewInHierarchy(
        const std::shared_ptr<platform::UIView>& view);
    static std::shared_ptr<platform::UICollectionView> findCollectionViewInHierarchy(
        const std::shared_ptr<platform::UIView>& view);

    // The icon's file name, from the icon word of the document ("icon.png" when none).
    std::optional<std::string> image;
    // 1 left, 2 right, 3 top, 4 bottom; 0 leaves the launcher at its target's origin.
    int32_t placement = 0;
    bool glowing = false;
    // Points; a document value of 0 or less (or none) gives 32.
    double width = 0;
    double height = 0;
    // The icon's tint, when given.
    std::optional<platform::Color> color;
    // Kept, never applied.
    std::optional<platform::Color> backgroundColor;
    FourSide padding;
    FourSide margin;
};

}  // namespace brindlecue
