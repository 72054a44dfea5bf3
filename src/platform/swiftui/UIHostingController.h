#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/swiftui/View.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform::swiftui {

// The UIKit view that hosts a declarative view: it lays the view out in its bounds (centred),
// draws it in drawRect, runs a button's action when a tap ends on it, and after every layout
// runs the preference actions whose value is new (all of them after the first layout).
// A change of size lays it out again on the next pass of the main queue.
class UIHostingView : public UIView {
public:
    BLQ_PLATFORM_CLASS(_UIHostingView)

    UIHostingView(const CGRect& frame, std::function<View()> rootView);

    void didConstruct() override;
    void didMoveToWindow() override;
    void layoutSubviews() override;
    void drawRect(const CGRect& rect) override;
    void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

    // The last layout (laying out first when none was done); null while the view has no size.
    const Placed* placedRoot();
    // How many layouts ran.
    int layoutCount() const { return layoutCount_; }

private:
    void layoutNow();

    std::function<View()> rootView_;
    std::optional<View> built_;
    std::optional<Placed> placed_;
    std::vector<std::any> lastPreferences_;
    bool laidOut_ = false;
    int layoutCount_ = 0;
};

// A view controller whose view hosts a declarative view. The view is made the size of the main
// screen; its owner sets its frame. The builder is called once, when the view is first laid out.
class UIHostingController : public UIViewController {
public:
    BLQ_PLATFORM_CLASS(UIHostingController)

    explicit UIHostingController(std::function<View()> rootView);
    void loadView() override;
    std::shared_ptr<UIHostingView> hostingView() { return std::static_pointer_cast<UIHostingView>(view()); }

private:
    std::function<View()> rootView_;
};

}  // namespace brindlecue::platform::swiftui
