// The forest finder's two uses beyond finding stored targets: describing a screen's target
// candidates to campaign authors, and binding super-tag click counting to its clickable views.
#include <algorithm>

#include "foundation/BLQViewUtils.h"
#include "foundation/NSStringKJExt.h"
#include "platform/NSRegularExpression.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/UIViewBrindlecueSDK.h"

namespace brindlecue {

using platform::NSObject;
using platform::UIView;
using platform::Value;

namespace {

bool listed(const std::vector<std::string>& list, const std::optional<std::string>& name) {
    return name && std::find(list.begin(), list.end(), *name) != list.end();
}

// The digits that tell two nodes of one ancestor path and type apart.
std::string nodeDigest(const KJTargetNode& node) {
    return NSStringKJExt::md5(node.ancestor.value_or("(null)") + "+" +
                              std::to_string(node.index.value_or(0)));
}

bool sendsValueChanges(const platform::UIControl& control) {
    return control.isKindOfClass("UISegmentedControl") || control.isKindOfClass("UISwitch") ||
           control.isKindOfClass("UISlider") || control.isKindOfClass("UIStepper");
}

bool hasTapRecognizerFor(const UIView& view, const std::shared_ptr<NSObject>& target,
                         const std::string& action) {
    for (const auto& recognizer : view.gestureRecognizers()) {
        if (!recognizer->isKindOfClass("UITapGestureRecognizer")) continue;
        auto actions = recognizer->actionsForTarget(target);
        if (std::find(actions.begin(), actions.end(), action) != actions.end()) return true;
    }
    return false;
}

void markWidget(UIView& view, const KJTargetNode& node) {
    setBrindlecueWidgetType(view, node.type);
    setBrindlecueWidgetIndex(view, std::to_string(node.index.value_or(0)));
    setBrindlecueWidgetAncestor(view, node.ancestor);
}

}  // namespace

// ---- Author metadata -----------------------------------------------------------------------------

Value KJTargettingWidgetV2::generateAuthorMetaData(const std::vector<std::shared_ptr<NSObject>>& excepts) {
    PassScope pass(*this);
    auto nodes = forestInOnePass(excepts);
    if (!nodes) nodes = processLeaves(pickupRawLeaves(blqGetPresentWindow(), false), excepts);
    Value records = Value::array();
    assembleTargetsMeta(records, *nodes);
    return records;
}

void KJTargettingWidgetV2::assembleTargetsMeta(Value& records, const KJTargetNodes& nodes) const {
    const std::string systemVersion = platform::UIDevice::currentDevice()->systemVersion();
    for (const auto& node : nodes) {
        const std::string digest = nodeDigest(*node);
        const std::string type = node->type.value_or("(null)");
        Value record = Value::dictionary({{"id", type + "-" + digest}});
        if (node->viewController && isLeafNodeClickable(*node)) {
            const std::string screen = node->viewController->className();
            const auto& identifier = node->accessibilityIdentifier;
            record.set("supertag", identifier && !identifier->empty()
                                       ? "kj_supertag_" + screen + "_" + *identifier
                                       : "kj_supertag_" + screen + "_" + type + "-" + digest);
        }
        if (node->ancestor) record.set("ancestor", *node->ancestor);
        if (node->type) record.set("type", *node->type);
        if (node->index) record.set("index", *node->index);
        if (node->frame) {
            record.set("width", node->width());
            record.set("height", node->height());
            record.set("x", node->x());
            record.set("y", node->y());
        }
        record.set("ios_version", systemVersion);
        record.set("version", version());
        if (node->tag) record.set("tag", *node->tag);
        if (node->accessibilityIdentifier)
            record.set("accessibility_identifier", *node->accessibilityIdentifier);
        records.append(std::move(record));
    }
}

bool KJTargettingWidgetV2::isLeafNodeClickable(const KJTargetNode& node) const {
    const std::string description = node.instance ? node.instance->description() : std::string();
    const auto base = getBaseClass(description);
    if (listed(ignoredClickableElements, node.type) || listed(ignoredClickableElements, base)) return false;
    return listed(clickableElements, node.type) || listed(clickableElements, base) ||
           hasGesturesAttached(description);
}

std::optional<std::string> KJTargettingWidgetV2::getBaseClass(const std::string& description) {
    return findFirstTargetString(description, "baseClass\\s\\=\\s([^;]*)");
}

bool KJTargettingWidgetV2::hasGesturesAttached(const std::string& description) {
    static const auto* pattern = new std::shared_ptr<const platform::NSRegularExpression>(
        platform::NSRegularExpression::regularExpressionWithPattern(
            "gestureRecognizers\\s+=", platform::NSRegularExpression::CaseInsensitive));
    return *pattern && (*pattern)->firstMatchInString(description).has_value();
}

// ---- Super-tag binding -----------------------------------------------------------------------------

void KJTargettingWidgetV2::findClickableWidgetsToBindSuperTag(const std::shared_ptr<UIView>& view,
                                                              const std::shared_ptr<NSObject>& target,
                                                              const platform::Selector& action) {
    generateViewHierarchyForest(view, false);
    for (const auto& [ancestor, byType] : ancestorForest) {
        for (const auto& [type, group] : byType) {
            for (const auto& node : group) {
                const auto& instance = node->instance;
                if (!instance) continue;
                if (auto control = std::dynamic_pointer_cast<platform::UIControl>(instance)) {
                    markWidget(*control, *node);
                    const uint64_t event = sendsValueChanges(*control) ? platform::UIControlEventValueChanged
                                                                       : platform::UIControlEventTouchDown;
                    auto actions = control->actionsForTarget(target, event);
                    if (std::find(actions.begin(), actions.end(), action.name) == actions.end())
                        control->addTarget(target, action, event);
                    continue;
                }
                if (instance->isKindOfClass("UITableViewCell") ||
                    instance->isKindOfClass("UICollectionViewCell") || instance->className() == "RCTView") {
                    markWidget(*instance, *node);
                    instance->setUserInteractionEnabled(true);
                    if (hasTapRecognizerFor(*instance, target, action.name)) continue;
                    auto tap = platform::make<platform::UITapGestureRecognizer>(target, action);
                    tap->setCancelsTouchesInView(false);
                    instance->addGestureRecognizer(tap);
                }
            }
        }
    }
}

}  // namespace brindlecue
