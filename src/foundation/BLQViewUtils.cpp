#include "foundation/BLQViewUtils.h"

#include <algorithm>
#include <cstring>

#include "foundation/KJLog.h"
#include "platform/Bundle.h"
#include "platform/SystemLog.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/AddressRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

using platform::CGSize;
using platform::UIApplication;
using platform::UIResponder;
using platform::UIView;
using platform::UIViewController;
using platform::UIWindow;

namespace {

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

bool isKindOfAny(const std::shared_ptr<platform::NSObject>& object,
                 std::initializer_list<const char*> names) {
    if (!object) return false;
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return object->isKindOfClass(name); });
}

// The nativeID search below a view; an empty text when there is none.
std::string searchNativeID(const std::shared_ptr<UIView>& view) {
    // A copy: reading a value must not be upset by the tree changing underneath.
    const std::vector<std::shared_ptr<UIView>> subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        const auto& subview = *it;
        std::string found;
        platform::Value value = subview->valueForKey("nativeID");
        if (value.isString()) {
            found = value.stringValue();
        } else if (value.isAbsent() && !subview->respondsToSelector("nativeID")) {
            // The platform raises for a key the class does not have; the search goes on.
            KJLog(1, "exception: %@",
                  subview->description() + " valueForUndefinedKey: the key nativeID is not defined");
        }
        if (found.empty()) found = searchNativeID(subview);
        if (!found.empty()) return found;
    }
    return "";
}

void logReportedError(const platform::Error& error) {
    systemLog().log(platform::LogType::Default, "Brindlecue report error: " + error.description() + ".");
}

bool isResourcesApp() {
    auto main = platform::Bundle::main();
    auto identifier = main ? main->bundleIdentifier() : std::nullopt;
    return identifier && identifier->find(kBLQResourcesAppIdentifier) != std::string::npos;
}

void presentErrorAlert(const platform::Error& error) {
    auto window = blqKeyWindow();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root) {
        // Nothing to present on: the report goes to the log rather than nowhere.
        logReportedError(error);
        return;
    }
    platform::Value reason = error.userInfo()[platform::Error::kLocalizedFailureReasonKey];
    std::string title = reason.isString() ? reason.stringValue() : "";
    if (title.empty()) {
        platform::Value name =
            platform::Bundle::main()->objectForInfoDictionaryKey(platform::Bundle::kNameKey);
        title = (name.isString() ? name.stringValue() : std::string("(null)")) + " reports error";
    }
    std::string message = error.localizedDescription();
    if (message.empty()) message = "No detail error message. Please contact App administrator.";
    auto alert = platform::UIAlertController::alertControllerWithTitle(
        title, message, platform::UIAlertControllerStyle::Alert);
    alert->addAction(
        platform::UIAlertAction::actionWithTitle("OK", platform::UIAlertActionStyle::Default, nullptr));
    root->presentViewController(alert, true);
}

}  // namespace

// ---- Windows ---------------------------------------------------------------------------------

std::shared_ptr<UIWindow> blqKeyWindow() {
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        if (window->isKeyWindow()) return window;
    }
    return nullptr;
}

std::shared_ptr<UIWindow> blqGetPresentWindow() {
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        if (!window->isHidden() && window->className() == "UIWindow") return window;
    }
    return nullptr;
}

// ---- Responders ------------------------------------------------------------------------------

std::shared_ptr<UIViewController> blqTraverseResponderChainForUIViewController(
    const std::shared_ptr<UIResponder>& responder) {
    std::shared_ptr<UIResponder> current = responder;
    while (current) {
        auto next = current->nextResponder();
        if (auto controller = std::dynamic_pointer_cast<UIViewController>(next)) return controller;
        if (!std::dynamic_pointer_cast<UIView>(next)) return nullptr;
        current = next;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> blqGetViewController(const std::shared_ptr<UIView>& view) {
    return blqTraverseResponderChainForUIViewController(view);
}

std::shared_ptr<UIResponder> blqGetNextResponse(const std::shared_ptr<platform::NSObject>& object) {
    auto responder = std::dynamic_pointer_cast<UIResponder>(object);
    return responder ? responder->nextResponder() : nullptr;
}

// ---- Message views -----------------------------------------------------------------------------

void blqDismissMessageViewForSubviews(std::vector<std::shared_ptr<UIView>> views) {
    for (const auto& view : views) {
        if (!view) continue;
        if (auto alert = std::dynamic_pointer_cast<platform::UIAlertView>(view)) {
            alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
        } else if (auto sheet = std::dynamic_pointer_cast<platform::UIActionSheet>(view)) {
            sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex(), false);
        }
        if (auto controller = blqGetViewController(view)) {
            controller->dismissViewControllerAnimated(
                true, [view] { blqDismissMessageViewForSubviews(view->subviews()); });
        }
    }
}

void blqDismissAllMessageView() {
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        blqDismissMessageViewForSubviews(window->subviews());
    }
}

// ---- Views -----------------------------------------------------------------------------------

CGSize shrinkControlSize(const std::shared_ptr<UIView>& view) {
    if (!view) return {};
    auto label = std::dynamic_pointer_cast<platform::UILabel>(view);
    CGSize bounds = view->bounds().size;
    if (!label) return bounds;
    const std::string text = label->text().value_or("");
    if (text.empty()) return {1, 1};
    bool wraps = label->lineBreakMode() == platform::NSLineBreakMode::ByWordWrapping ||
                 label->lineBreakMode() == platform::NSLineBreakMode::ByCharWrapping;
    // A single line is measured without a width limit, a wrapping text at the label's width;
    // neither limits the number of lines.
    CGSize measured = platform::UILabel::measure(text, label->font(), wraps ? bounds.width : 0, 0);
    double width = std::min(measured.width, bounds.width);
    double height = std::min(measured.height, bounds.height);
    return wraps ? CGSize{bounds.width, height} : CGSize{width, bounds.height};
}

bool blqIsSDKViewController(const std::shared_ptr<platform::NSObject>& object) {
    return isKindOfAny(
        object, {"BLQBaseViewController", "BLQBaseTableViewController", "BLQBaseCollectionViewController"});
}

bool IsSDKIntegrationCorrect(const std::shared_ptr<platform::NSObject>& object) {
    return isKindOfAny(object, {"BrindlecueBaseViewController", "BrindlecueBaseTableViewController",
                                "BrindlecueBaseCollectionViewController"});
}

std::optional<std::string> findNativeID(const std::shared_ptr<UIView>& view) {
    if (!view) return std::nullopt;
    std::string found = searchNativeID(view);
    if (found.empty()) return std::nullopt;
    return found;
}

std::shared_ptr<platform::NSObject> blqGetNodeInstance(const std::string& text) {
    // The registry holds weak references only, so a view that has gone away never resolves.
    return platform::AddressRegistry::lookup(text);
}

// ---- Reporting and device ------------------------------------------------------------------------

void blqPresentErrorAlertOrLog(const std::optional<platform::Error>& error) {
    if (!error) return;
    if (!isResourcesApp()) {
        logReportedError(*error);
        return;
    }
    platform::Error copy = *error;
    platform::DispatchQueue::main()->async([copy] { presentErrorAlert(copy); });
}

bool blqCallPhoneNumber(const std::string& text) {
    std::string number;
    for (char c : text) {
        if (c != '(' && c != ')' && c != ' ') number += c;
    }
    if (number.empty()) return false;
    UIApplication::sharedApplication()->openURL("tel:" + number);
    return true;
}

}  // namespace brindlecue
