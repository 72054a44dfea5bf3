#pragma once

// The older layer's helpers for windows, view controllers, responders and alerts. They touch the
// view hierarchy and run on the main queue, except blqPresentErrorAlertOrLog, which hops there
// itself, and blqGetNodeInstance, which any thread may call.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
class NSObject;
class UIResponder;
class UIView;
class UIViewController;
class UIWindow;
}  // namespace platform

// The bundle identifier (or a part of it) of the maker's resources app, the one host in which
// blqPresentErrorAlertOrLog shows an alert instead of logging.
inline constexpr const char* kBLQResourcesAppIdentifier = "com.brindlecue.resources";

// ---- Windows ---------------------------------------------------------------------------------

// The first of the application's windows, in the application's order, that is the key window.
std::shared_ptr<platform::UIWindow> blqKeyWindow();
// The first of the application's windows that is not hidden and whose class is exactly UIWindow
// (a subclass, such as an overlay window of the library or the host, does not count). Null when
// no window qualifies; callers then have nothing to present on and must not try.
std::shared_ptr<platform::UIWindow> blqGetPresentWindow();

// ---- Responders ------------------------------------------------------------------------------

// Follows next responders through views to the first view controller; anything else (or the end
// of the chain) gives null.
std::shared_ptr<platform::UIViewController> blqTraverseResponderChainForUIViewController(
    const std::shared_ptr<platform::UIResponder>& responder);
// The view controller a view belongs to, found as above.
std::shared_ptr<platform::UIViewController> blqGetViewController(
    const std::shared_ptr<platform::UIView>& view);
// The object's next responder; null for an object that is not a responder.
std::shared_ptr<platform::UIResponder> blqGetNextResponse(const std::shared_ptr<platform::NSObject>& object);

// ---- Message views -----------------------------------------------------------------------------

// For each view: a legacy alert view or action sheet is dismissed with its cancel button index,
// not animated; then the view's controller dismisses what it presents (animated) and, once that
// is done, the same runs on the view's subviews. The list is taken by value: dismissing removes
// views from the very lists callers pass in.
void blqDismissMessageViewForSubviews(std::vector<std::shared_ptr<platform::UIView>> views);
// The above on the subviews of every window of the application.
void blqDismissAllMessageView();

// ---- Views -----------------------------------------------------------------------------------

// The size a control's text needs inside it. A view that is not a label: its bounds size. A label
// without text: 1 by 1. A single-line label (clipping or truncating): the text's width (at most
// the bounds width) by the bounds height. A wrapping label: the bounds width by the text's height
// at that width (at most the bounds height).
platform::CGSize shrinkControlSize(const std::shared_ptr<platform::UIView>& view);

// A BLQBaseViewController, BLQBaseTableViewController or BLQBaseCollectionViewController (or a
// subclass of one). Classes the process does not know never match.
bool blqIsSDKViewController(const std::shared_ptr<platform::NSObject>& object);
// A BrindlecueBaseViewController, BrindlecueBaseTableViewController or
// BrindlecueBaseCollectionViewController (or a subclass of one).
bool IsSDKIntegrationCorrect(const std::shared_ptr<platform::NSObject>& object);

// The author-given "nativeID" of a React Native view tree: the subviews are searched from the
// last to the first, each before its own subviews; the first non-empty text wins.
std::optional<std::string> findNativeID(const std::shared_ptr<platform::UIView>& view);

// The live object at the address an address text names ("0x1a2b"); null for a text that is not
// a number, an unknown address, or an object that has gone away.
std::shared_ptr<platform::NSObject> blqGetNodeInstance(const std::string& text);

// ---- Reporting and device ------------------------------------------------------------------------

// In the maker's resources app: an alert over the key window's root view controller (on the main
// queue). Elsewhere, or when there is no window to present on: the system log gets
// "Brindlecue report error: %@.". None does nothing.
void blqPresentErrorAlertOrLog(const std::optional<platform::Error>& error);

// Strips "(", ")" and blanks; asks the application to open "tel:<number>" when anything is left.
bool blqCallPhoneNumber(const std::string& text);

}  // namespace brindlecue
