#pragma once

// The library's marks on host views and its questions about them (the UIView(BrindlecueSDK)
// category): whether a view can really be seen on screen. Main thread.

#include <optional>
#include <string>

namespace brindlecue {

namespace platform {
class UIView;
}  // namespace platform

// True when every test passes, in this order: the frame is neither empty nor null; the view is
// not hidden; it has a superview; the frame's size is not zero; the frame (in its superview's
// coordinates, not converted) meets the main screen's bounds; its alpha is not 0; and no
// ancestor has alpha 0 (ancestorHasAlphaZero).
bool isDisplayedInScreen(const platform::UIView& view);

// Marks the view itself holds, each under its getter's name; setting none removes the mark.
// The launcher's campaign feed id, and the widget type, index (decimal text) and ancestor path
// that the view tree gave a clickable view.
std::optional<std::string> brindlecueLauncherID(const platform::UIView& view);
void setBrindlecueLauncherID(platform::UIView& view, const std::optional<std::string>& mark);
std::optional<std::string> brindlecueWidgetType(const platform::UIView& view);
void setBrindlecueWidgetType(platform::UIView& view, const std::optional<std::string>& mark);
std::optional<std::string> brindlecueWidgetIndex(const platform::UIView& view);
void setBrindlecueWidgetIndex(platform::UIView& view, const std::optional<std::string>& mark);
std::optional<std::string> brindlecueWidgetAncestor(const platform::UIView& view);
void setBrindlecueWidgetAncestor(platform::UIView& view, const std::optional<std::string>& mark);
// Walks up from the superview: true at the first view of alpha 0; false at the top, or on
// reaching a view of class "RCTRootContentView", whose alpha and ancestors are not examined.
bool ancestorHasAlphaZero(const platform::UIView& view);

}  // namespace brindlecue
