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
class UIView;
class UIViewController;
}  // namespace platform

class KJView;

// The entry point for questions about host objects (views, bar button items, tab bar items): it
// picks the wrapper class for an object and answers each question through a new wrapper. It holds
// nothing of its own. Main thread.
class KJUIElementManager {
public:
    static KJUIElementManager& sharedInstance();

    // A new wrapper for the object, by the first that holds: bar button item; a description
    // containing "UIButtonBarButton"; button; image view; label; segmented control; a kind of
    // "UISegment"; stepper; switch; table view; table cell; text field; tab bar item; a kind of
    // "WKWebView"; any other view. Subclasses take their class's wrapper. None for other objects.
    std::shared_ptr<KJView> createUIElement(const std::shared_ptr<platform::NSObject>& element) const;

    std::shared_ptr<platform::UIView> getView(const std::shared_ptr<platform::NSObject>& element) const;
    // The property reference when it is a non-empty text, else the display text.
    std::optional<std::string> getUniqueId(const std::shared_ptr<platform::NSObject>& element) const;
    // The name of the property of the element's view controller (the visible one of a navigation
    // controller) that holds this very element: among the properties the controller's own class
    // declares, in order, the first whose attribute text names the element's class and whose
    // getter answers the element itself.
    std::optional<std::string> getPropertyReference(const std::shared_ptr<platform::NSObject>& element) const;
    std::optional<std::string> getDisplayText(const std::shared_ptr<platform::NSObject>& element) const;
    std::optional<std::string> getFriendlyName(const std::shared_ptr<platform::NSObject>& element) const;
    // The zero rectangle for an object without a wrapper.
    platform::CGRect getFrameOnScreen(const std::shared_ptr<platform::NSObject>& element) const;
    std::optional<platform::UIColor> getBackgroundColor(
        const std::shared_ptr<platform::NSObject>& element) const;
    std::optional<platform::UIColor> getTextColor(const std::shared_ptr<platform::NSObject>& element) const;
    std::optional<platform::UIFont> getTextFont(const std::shared_ptr<platform::NSObject>& element) const;
    // For a view, its wrapper's recognisable subviews; none for anything else.
    std::optional<std::vector<std::shared_ptr<platform::UIView>>> getRecognizableSubviews(
        const std::shared_ptr<platform::NSObject>& element) const;

    // The host view whose display string equals the text ignoring letter case, searched in the
    // controller's left and then right bar button items, the visible controller of a navigation
    // controller, the items of its tab bar controller's tab bar, then its view's subviews.
    std::shared_ptr<platform::UIView> findViewByDisplayText(
        const std::string& text, const std::shared_ptr<platform::UIViewController>& controller) const;
    // The same over the elements, in order, each before its subviews (for views whose wrapper has
    // recognisable subviews) and, for a navigation bar, its items' left and right bar button items.
    std::shared_ptr<platform::UIView> findViewByDisplayText(
        const std::string& text, const std::vector<std::shared_ptr<platform::NSObject>>& elements) const;

    void hookEventForElement(const std::shared_ptr<platform::NSObject>& element,
                             const std::shared_ptr<platform::NSObject>& target,
                             const platform::Selector& selector) const;
    // For a bar button item this reaches the wrapper that installed the latest hook on it, which
    // holds the item's own target and action; an item without a hook is left as it is.
    void removeEventForElement(const std::shared_ptr<platform::NSObject>& element,
                               const std::shared_ptr<platform::NSObject>& target,
                               const platform::Selector& selector) const;
    void hookClickEventForElement(const std::shared_ptr<platform::NSObject>& element,
                                  const std::shared_ptr<platform::NSObject>& target,
                                  const platform::Selector& selector) const;
    void removeClickEventForElement(const std::shared_ptr<platform::NSObject>& element,
                                    const std::shared_ptr<platform::NSObject>& target,
                                    const platform::Selector& selector) const;

private:
    KJUIElementManager() = default;
};

}  // namespace brindlecue
