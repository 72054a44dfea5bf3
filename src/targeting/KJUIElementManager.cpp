#include "targeting/KJUIElementManager.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "foundation/BLQViewUtils.h"
#include "foundation/KJLog.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UIStepper.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "targeting/KJBarButtonItem.h"
#include "targeting/KJView.h"

namespace brindlecue {

using platform::NSObject;
using platform::Selector;
using platform::UIView;

namespace {

template <class T>
std::shared_ptr<T> as(const std::shared_ptr<NSObject>& object) {
    return std::dynamic_pointer_cast<T>(object);
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    icu::UnicodeString left = icu::UnicodeString::fromUTF8(a);
    icu::UnicodeString right = icu::UnicodeString::fromUTF8(b);
    return left.caseCompare(right, U_FOLD_CASE_DEFAULT) == 0;
}

template <class T>
std::vector<std::shared_ptr<NSObject>> objects(const std::vector<std::shared_ptr<T>>& list) {
    return std::vector<std::shared_ptr<NSObject>>(list.begin(), list.end());
}

}  // namespace

KJUIElementManager& KJUIElementManager::sharedInstance() {
    static KJUIElementManager* manager = new KJUIElementManager();
    return *manager;
}

std::shared_ptr<KJView> KJUIElementManager::createUIElement(const std::shared_ptr<NSObject>& element) const {
    if (!element) return nullptr;
    if (auto item = as<platform::UIBarButtonItem>(element)) return std::make_shared<KJBarButtonItem>(item);
    auto view = as<UIView>(element);
    if (view && element->description().find("UIButtonBarButton") != std::string::npos)
        return std::make_shared<KJButtonBarButton>(view);
    if (auto button = as<platform::UIButton>(element)) return std::make_shared<KJButton>(button);
    if (auto image = as<platform::UIImageView>(element)) return std::make_shared<KJImageView>(image);
    if (auto label = as<platform::UILabel>(element)) return std::make_shared<KJLabel>(label);
    if (auto segments = as<platform::UISegmentedControl>(element))
        return std::make_shared<KJSegmentControl>(segments);
    if (view && element->isKindOfClass("UISegment")) return std::make_shared<KJSegment>(view);
    if (auto stepper = as<platform::UIStepper>(element)) return std::make_shared<KJStepper>(stepper);
    if (auto control = as<platform::UISwitch>(element)) return std::make_shared<KJSwitch>(control);
    if (auto table = as<platform::UITableView>(element)) return std::make_shared<KJTableView>(table);
    if (auto cell = as<platform::UITableViewCell>(element)) return std::make_shared<KJTableViewCell>(cell);
    if (auto field = as<platform::UITextField>(element)) return std::make_shared<KJTextField>(field);
    if (auto item = as<platform::UITabBarItem>(element)) return std::make_shared<KJTabBarItem>(item);
    if (view && element->isKindOfClass("WKWebView")) return std::make_shared<KJWebView>(view);
    if (view) return std::make_shared<KJView>(view);
    return nullptr;
}

std::shared_ptr<UIView> KJUIElementManager::getView(const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->innerView() : nullptr;
}

std::optional<std::string> KJUIElementManager::getUniqueId(const std::shared_ptr<NSObject>& element) const {
    auto reference = getPropertyReference(element);
    if (reference && !reference->empty()) return reference;
    return getDisplayText(element);
}

std::optional<std::string> KJUIElementManager::getPropertyReference(
    const std::shared_ptr<NSObject>& element) const {
    if (!element) return std::nullopt;
    auto controller = blqTraverseResponderChainForUIViewController(as<platform::UIResponder>(element));
    if (auto navigation = as<platform::UINavigationController>(controller))
        controller = navigation->visibleViewController();
    if (!controller) return std::nullopt;
    std::string elementClass = element->className();
    for (const auto& property : platform::ClassRegistry::properties(controller->className())) {
        if (property.attributes.find(elementClass) == std::string::npos) continue;
        if (!controller->respondsToSelector(property.name) || !property.getter) continue;
        if (property.getter(*controller).get() == element.get()) return property.name;
    }
    return std::nullopt;
}

std::optional<std::string> KJUIElementManager::getDisplayText(
    const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? std::optional<std::string>(wrapper->displayStr()) : std::nullopt;
}

std::optional<std::string> KJUIElementManager::getFriendlyName(
    const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->friendlyName() : std::nullopt;
}

platform::CGRect KJUIElementManager::getFrameOnScreen(const std::shared_ptr<NSObject>& element) const {
    // No wrapper has a frame of its own, and every wrapper of a view describes the view itself:
    // any wrapper gives a view the same frame, so the choice of class is left out.
    if (auto view = as<UIView>(element)) return KJView::frameOnScreenOf(*view);
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->frameOnScreen() : platform::CGRect();
}

std::optional<platform::UIColor> KJUIElementManager::getBackgroundColor(
    const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->preferBackgroundColor() : std::nullopt;
}

std::optional<platform::UIColor> KJUIElementManager::getTextColor(
    const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->preferTextColor() : std::nullopt;
}

std::optional<platform::UIFont> KJUIElementManager::getTextFont(
    const std::shared_ptr<NSObject>& element) const {
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->preferTextFont() : std::nullopt;
}

std::optional<std::vector<std::shared_ptr<UIView>>> KJUIElementManager::getRecognizableSubviews(
    const std::shared_ptr<NSObject>& element) const {
    if (!as<UIView>(element)) return std::nullopt;
    auto wrapper = createUIElement(element);
    return wrapper ? wrapper->recognizableSubviews() : std::nullopt;
}

std::shared_ptr<UIView> KJUIElementManager::findViewByDisplayText(
    const std::string& text, const std::shared_ptr<platform::UIViewController>& controller) const {
    if (!controller) return nullptr;
    auto item = controller->navigationItem();
    if (auto hit = findViewByDisplayText(text, objects(item->leftBarButtonItems()))) return hit;
    if (auto hit = findViewByDisplayText(text, objects(item->rightBarButtonItems()))) return hit;
    if (auto navigation = as<platform::UINavigationController>(controller))
        if (auto hit = findViewByDisplayText(text, navigation->visibleViewController())) return hit;
    if (auto tabs = controller->tabBarController())
        if (auto hit = findViewByDisplayText(text, objects(tabs->tabBar()->items()))) return hit;
    if (auto view = controller->view()) return findViewByDisplayText(text, objects(view->subviews()));
    return nullptr;
}

std::shared_ptr<UIView> KJUIElementManager::findViewByDisplayText(
    const std::string& text, const std::vector<std::shared_ptr<NSObject>>& elements) const {
    KJLog(1, "Try to find one with displayText %@.", text);
    for (const auto& element : elements) {
        auto wrapper = createUIElement(element);
        std::string shown = wrapper ? wrapper->displayStr() : "";
        KJLog(1, "check element %@ with displayStr %@.", element ? element->description() : "(null)", shown);
        if (!shown.empty() && equalIgnoringCase(shown, text)) {
            KJLog(1, "Find and return in self search");
            return wrapper->innerView();
        }
        if (auto view = as<UIView>(element)) {
            KJLog(1, "It's UIView, find sub views.");
            auto recognizable = wrapper->recognizableSubviews();
            if (recognizable && !recognizable->empty()) {
                if (auto hit = findViewByDisplayText(text, objects(view->subviews()))) {
                    KJLog(1, "Find and return in subview search");
                    return hit;
                }
            }
        } else {
            KJLog(1, "It's not UIView. %@", element ? element->description() : "(null)");
        }
        if (auto bar = as<platform::UINavigationBar>(element)) {
            KJLog(1, "It's UINavigationBar. %@", bar->description());
            for (const auto& navigationItem : bar->items()) {
                if (auto hit = findViewByDisplayText(text, objects(navigationItem->leftBarButtonItems()))) {
                    KJLog(1, "Find and return in left items search");
                    return hit;
                }
                if (auto hit = findViewByDisplayText(text, objects(navigationItem->rightBarButtonItems()))) {
                    KJLog(1, "Find and return in right items search");
                    return hit;
                }
            }
        }
    }
    KJLog(1, "Cannot find anything match.");
    return nullptr;
}

void KJUIElementManager::hookEventForElement(const std::shared_ptr<NSObject>& element,
                                             const std::shared_ptr<NSObject>& target,
                                             const Selector& selector) const {
    if (auto wrapper = createUIElement(element)) wrapper->hookEventWithTarget(target, selector);
}

void KJUIElementManager::removeEventForElement(const std::shared_ptr<NSObject>& element,
                                               const std::shared_ptr<NSObject>& target,
                                               const Selector& selector) const {
    // A fresh wrapper knows nothing of the item's own target: only the one that hooked it does.
    if (auto item = as<platform::UIBarButtonItem>(element)) {
        if (auto hooked = KJBarButtonItem::hookedWrapperForItem(item.get()))
            hooked->removeEventWithTarget(target, selector);
        return;
    }
    if (auto wrapper = createUIElement(element)) wrapper->removeEventWithTarget(target, selector);
}

void KJUIElementManager::hookClickEventForElement(const std::shared_ptr<NSObject>& element,
                                                  const std::shared_ptr<NSObject>& target,
                                                  const Selector& selector) const {
    if (auto wrapper = createUIElement(element)) wrapper->hookClickEventWithTarget(target, selector);
}

void KJUIElementManager::removeClickEventForElement(const std::shared_ptr<NSObject>& element,
                                                    const std::shared_ptr<NSObject>& target,
                                                    const Selector& selector) const {
    if (auto wrapper = createUIElement(element)) wrapper->removeClickEventWithTarget(target, selector);
}

}  // namespace brindlecue
