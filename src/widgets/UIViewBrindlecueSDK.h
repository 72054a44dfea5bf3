#pragma once

// The library's questions about host views (the UIView(BrindlecueSDK) category): whether a view
// can really be seen on screen. Main thread.

namespace brindlecue {

namespace platform {
class UIView;
}  // namespace platform

// True when every test passes, in this order: the frame is neither empty nor null; the view is
// not hidden; it has a superview; the frame's size is not zero; the frame (in its superview's
// coordinates, not converted) meets the main screen's bounds; its alpha is not 0; and no
// ancestor has alpha 0 (ancestorHasAlphaZero).
bool isDisplayedInScreen(const platform::UIView& view);
// Walks up from the superview: true at the first view of alpha 0; false at the top, or on
// reaching a view of class "RCTRootContentView", whose alpha and ancestors are not examined.
bool ancestorHasAlphaZero(const platform::UIView& view);

}  // namespace brindlecue
