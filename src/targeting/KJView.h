#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UISegmentedControl;
class UIStepper;
class UISwitch;
class UITabBarItem;
class UITableView;
class UITableViewCell;
class UITextField;
class UIView;
}  // namespace platform

// A short-lived look at a host object a tip can be anchored to (a view, a bar button item, a tab
// bar item): its display string (a textual path that identifies it on its screen), friendly name
// (what a person would call it), frame in window coordinates, preferred colours and font, the
// subviews worth descending into, and event and click hooks. KJUIElementManager picks the wrapper
// class; wrappers are made for one question and dropped. Main thread.
class KJView : public platform::NSObject {
public:
    // Display strings longer than this many characters (UTF-16 units, as the platform counts)
    // keep only their beginning.
    static constexpr size_t kMaxDisplayStringLength = 450;

    explicit KJView(std::shared_ptr<platform::UIView> view);

    // The host view described: the view itself, or an item's view on its bar.
    const std::shared_ptr<platform::UIView>& innerView() const { return innerView_; }
    void setInnerView(std::shared_ptr<platform::UIView> view) { innerView_ = std::move(view); }

    // The class name of the inner view, "_", its index among its superview's subviews (0 without
    // a superview), then "@" and the unique id (KJUIElementManager::getUniqueId) of each ancestor
    // up to a window or a screen container ("UIViewControllerWrapperView",
    // "UINavigationTransitionView", "KJCoverView", "RCTRootView", "RCTRootContentView",
    // "RCTScrollContentView", or a class name containing "RCTView" in any case); cut to 450.
    virtual std::string displayStr() const;
    virtual std::optional<std::string> friendlyName() const { return std::nullopt; }
    virtual std::optional<platform::UIColor> preferTextColor() const { return std::nullopt; }
    virtual std::optional<platform::UIFont> preferTextFont() const { return std::nullopt; }
    // The inner view's origin in window coordinates, with its bounds size.
    virtual platform::CGRect frameOnScreen() const;
    // The same for any view, without a wrapper.
    static platform::CGRect frameOnScreenOf(const platform::UIView& view);
    virtual std::optional<platform::UIColor> preferBackgroundColor() const;
    // The inner view's subviews; none for wrappers of views whose insides are not targets.
    virtual std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const;

    // Adds or removes the target and action for the control event the wrapper stands for
    // (touch up inside, value changed, editing did begin); the base has none.
    virtual void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                                     const platform::Selector& selector) {}
    virtual void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                                       const platform::Selector& selector) {}
    // A control gets the target and action for touch up inside; any other view a tap recogniser
    // (user interaction switched on). Removing takes out that pair, or the tap recognisers that
    // carry this target and action; the host's own recognisers stay.
    void hookClickEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                                  const platform::Selector& selector);
    void removeClickEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                                    const platform::Selector& selector);

protected:
    // The base display string of the inner view.
    std::string baseDisplayStr() const;
    // The ancestor walk of a display string: "@" and the unique id of each ancestor of the view
    // up to a window or a stop class.
    static std::string ancestorSegments(const std::shared_ptr<platform::UIView>& view, bool reactNativeStops);
    // Keeps the first 450 characters of a longer text (a debug line says so).
    static std::string cutDisplayString(std::string text);

private:
    std::shared_ptr<platform::UIView> innerView_;
};

// Wrappers whose display string is their friendly name when that is not empty.
class KJButton final : public KJView {
public:
    explicit KJButton(std::shared_ptr<platform::UIButton> button);
    std::string displayStr() const override;
    // The first non-empty title among the states normal, highlighted, selected, disabled,
    // focused and the reserved mask.
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UIButton> button;
};

class KJTableViewCell final : public KJView {
public:
    explicit KJTableViewCell(std::shared_ptr<platform::UITableViewCell> cell);
    std::string displayStr() const override;
    // The text of the cell's text label, else of its detail label.
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }

    std::shared_ptr<platform::UITableViewCell> tableViewCell;
};

class KJSegmentControl final : public KJView {
public:
    explicit KJSegmentControl(std::shared_ptr<platform::UISegmentedControl> control);
    std::string displayStr() const override;
    // "SegmentControl_" and the first non-empty segment title; none when no segment has one.
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UISegmentedControl> segmentControl;
};

// The tab bar item's view on its tab bar is its inner view.
class KJTabBarItem final : public KJView {
public:
    explicit KJTabBarItem(std::shared_ptr<platform::UITabBarItem> item);
    // The item's index among its tab bar's items, when the item's view sits on a tab bar.
    std::string displayStr() const override;
    std::optional<std::string> friendlyName() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }

    std::shared_ptr<platform::UITabBarItem> tabBarItem;
};

class KJLabel final : public KJView {
public:
    explicit KJLabel(std::shared_ptr<platform::UILabel> label);
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }

    std::shared_ptr<platform::UILabel> label;
};

class KJTextField final : public KJView {
public:
    explicit KJTextField(std::shared_ptr<platform::UITextField> field);
    // The placeholder.
    std::optional<std::string> friendlyName() const override;
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UITextField> textField;
};

// The private bar-button view of a bar button item (class name containing "UIButtonBarButton").
class KJButtonBarButton final : public KJView {
public:
    explicit KJButtonBarButton(std::shared_ptr<platform::UIView> button);
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UIView> button;
};

// Value-changed controls.
class KJSwitch final : public KJView {
public:
    explicit KJSwitch(std::shared_ptr<platform::UISwitch> control);
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UISwitch> switcher;
};

class KJStepper final : public KJView {
public:
    explicit KJStepper(std::shared_ptr<platform::UIStepper> control);
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
    void hookEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) override;
    void removeEventWithTarget(const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) override;

    std::shared_ptr<platform::UIStepper> stepper;
};

class KJTableView final : public KJView {
public:
    explicit KJTableView(std::shared_ptr<platform::UITableView> table);
    std::optional<platform::UIColor> preferTextColor() const override;
    std::optional<platform::UIFont> preferTextFont() const override;

    std::shared_ptr<platform::UITableView> tableView;
};

// Views whose insides are not targets, and nothing more.
class KJImageView final : public KJView {
public:
    explicit KJImageView(std::shared_ptr<platform::UIImageView> view);
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }

    std::shared_ptr<platform::UIImageView> imageView;
};

// One segment view of a segmented control (class "UISegment").
class KJSegment final : public KJView {
public:
    explicit KJSegment(std::shared_ptr<platform::UIView> segmentView);
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }

    std::shared_ptr<platform::UIView> segment;
};

// A web view ("WKWebView").
class KJWebView final : public KJView {
public:
    using KJView::KJView;
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> recognizableSubviews() const override {
        return std::nullopt;
    }
};

}  // namespace brindlecue
