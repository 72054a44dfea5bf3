#include "targeting/KJTipTargetElement.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

#include "config/BLQUtilsFacade.h"
#include "feed/BLQITipManager.h"
#include "feed/BLQTipTarget.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/KJLog.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "targeting/BLQTargetingAlgorithmType.h"
#include "targeting/KJUIElementManager.h"

namespace brindlecue {

using platform::NSIndexPath;
using platform::Value;

namespace {

constexpr const char* kContentOffset = "contentOffset";
const KJTipBaseElement::Exclusions kNotStored{"indexPath", "parentElement"};

struct StepPlaceSeam {
    std::mutex mutex;
    KJTipTargetElement::StepPlaceLookup lookup;
};

StepPlaceSeam& stepPlaceSeam() {
    static auto* seam = new StepPlaceSeam();
    return *seam;
}

// The platform's numeric comparison of texts: runs of digits compare as numbers, everything else
// character by character; a text that is a beginning of the other is the smaller.
int compareNumerically(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            std::string_view x = a.substr(i, ei - i), y = b.substr(j, ej - j);
            x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
            y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (int c = x.compare(y); c != 0) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::optional<std::string> currentReactNativeViewName() {
    auto tips = BLQPublished<BLQITipManager>::get();
    return tips ? tips->currentRCTViewName() : std::nullopt;
}

// The screen name of a controller (its class name; in a React Native host the author-given id
// under its view's content view).
std::string screenNameOf(const std::shared_ptr<platform::UIViewController>& controller) {
    std::weak_ptr<platform::UIViewController> weak = controller;
    return blqAppendUniqueSuffix(controller->className(), [weak]() -> std::optional<std::string> {
        auto strong = weak.lock();
        auto view = strong ? strong->viewIfLoaded() : nullptr;
        auto content = view
                           ? std::dynamic_pointer_cast<platform::UIView>(view->performSelector("contentView"))
                           : nullptr;
        return content ? findNativeID(content) : std::nullopt;
    });
}

}  // namespace

// ---- Record ------------------------------------------------------------------------------------

const KJElementClass& KJTipTargetElement::elementClass() {
    static const KJElementClass cls(
        "KJTipTargetElement", &KJTipBaseElement::elementClass(),
        KJPropertyTable<KJTipTargetElement>()
            .text("ancestor", &KJTipTargetElement::ancestor)
            .text("index", &KJTipTargetElement::index)
            .text("type", &KJTipTargetElement::type)
            .text("algoVersion", &KJTipTargetElement::algoVersion)
            .text("vcClass", &KJTipTargetElement::vcClassName)
            .text("control", &KJTipTargetElement::control)
            .integer("section", &KJTipTargetElement::section)
            .integer("row", &KJTipTargetElement::row)
            .other("indexPath", "NSIndexPath")
            .other("parentElement", "KJTipElement")
            .text("accessibilityIdentifier", &KJTipTargetElement::accessibilityIdentifier)
            .other("arrayTargets", "NSArray")
            .build());
    return cls;
}

void KJTipTargetElement::registerWithCampaignModel() {
    KJElementClass::registerFactories(
        kClassName, {[](const Value& v) { return KJTipTargetElement::createFromFeed(v); },
                     [](const Value& v) { return KJTipTargetElement::deserializeFromDictionary(v); }});
}

void KJTipTargetElement::setStepPlaceLookup(StepPlaceLookup lookup) {
    std::lock_guard lock(stepPlaceSeam().mutex);
    stepPlaceSeam().lookup = std::move(lookup);
}

std::shared_ptr<KJTipTargetElement> KJTipTargetElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto target = std::make_shared<KJTipTargetElement>();
    KJDocumentReader in(object, "KJTipTargetElement");
    target->vcClassName = in.text("view").value_or("");

    KJDocumentReader params(in.dictionary("target-params"), "KJTipTargetElement");
    if (!params.isDictionary()) return target;
    if (params.has("child")) {
        std::string& screen = *target->vcClassName;
        if (size_t slash = screen.find('/'); slash != std::string::npos) screen.resize(slash);
        if (const std::string* child = params.value("child").getString()) {
            auto pair = Value::fromJSON(*child);
            if (pair && pair->isArray() && pair->count() == 2 && (*pair)[0].isNumber() &&
                (*pair)[1].isNumber()) {
                target->section = (*pair)[0].integerValue();
                target->row = (*pair)[1].integerValue();
            }
        }
    }
    target->ancestor = params.text("ancestor");
    target->index = params.text("index");
    target->type = params.text("type");
    target->algoVersion = params.text("version");

    const Value& targets = object["target"];
    if (const std::string* control = targets.getString()) target->control = *control;
    // Target lists count from version 3.0.0 on (3.10.0 is above 3.9.0).
    bool listsApply = target->algoVersion && compareNumerically("3.0.0", *target->algoVersion) <= 0;
    if (listsApply && targets.isArray()) {
        for (size_t i = 0; i < targets.count(); ++i) {
            auto entry = BLQTipTarget::createFromTarget(targets[i]);
            if (!entry || !entry->inputs) continue;
            auto input =
                std::find_if(entry->inputs->begin(), entry->inputs->end(),
                             [](const BLQTipTargetInput& in) { return in.target && !in.target->empty(); });
            if (input == entry->inputs->end()) continue;
            const auto& alg = entry->alg;
            if (!alg || *alg == BLQTargetingAlgorithmType::accessibility)
                target->accessibilityIdentifier = input->target;
            if (!alg || alg->empty() || *alg == BLQTargetingAlgorithmType::parentChildIOS ||
                *alg == BLQTargetingAlgorithmType::legacyV2)
                target->control = input->target;
        }
        target->arrayTargets = targets;
    }
    return target;
}

bool KJTipTargetElement::storedForm(KJStoredForm& out) const {
    storedProperties(out, kNotStored);
    return true;
}

std::shared_ptr<KJTipTargetElement> KJTipTargetElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipTargetElement>(stored, kNotStored);
}

bool KJTipTargetElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other, kNotStored);
}

KJTipTargetElement::~KJTipTargetElement() {
    stopObservingTables();
}

std::optional<NSIndexPath> KJTipTargetElement::indexPath() const {
    if (section == -1 || row == -1) return std::nullopt;
    return NSIndexPath::forRow(row, section);
}

// ---- Screens -----------------------------------------------------------------------------------

bool KJTipTargetElement::matchVC(const std::shared_ptr<platform::UIViewController>& controller) const {
    std::string screen = vcClass();
    if (screen == kAllScreens) return true;
    if (auto viewName = currentReactNativeViewName()) return *viewName == screen;
    return controller && screenNameOf(controller) == screen;
}

bool KJTipTargetElement::matchVCForReactNative(const std::string& viewName) const {
    if (viewName == vcClass()) return true;
    auto current = currentReactNativeViewName();
    return current && *current == viewName;
}

// ---- The descriptor's own lookup -----------------------------------------------------------------

std::shared_ptr<platform::UIView> KJTipTargetElement::findTargetInViewController(
    const std::shared_ptr<platform::UIViewController>& controller) {
    if (!controller) return nullptr;
    if (control && KJTipUtil::isArbitraryPosition(Value(*control))) return nullptr;
    const std::string name = control.value_or("");
    auto& elements = KJUIElementManager::sharedInstance();
    std::shared_ptr<platform::NSObject> named =
        !name.empty() && controller->respondsToSelector(name) ? controller->performSelector(name) : nullptr;

    std::shared_ptr<platform::UIView> found;
    if (!indexPath()) {
        if (named) found = elements.getView(named);
        if (!found) found = elements.findViewByDisplayText(name, controller);
    } else {
        // Tables first, then collections.
        auto table = std::dynamic_pointer_cast<platform::UITableView>(named);
        if (!table) table = findTableViewInContainView(controller->view());
        found = table ? findCellInTable(table) : findCellInCollection(controller, named);
    }
    if (!found) KJLog(1, "Cannot find target %@. Will return nil.", name);
    return found;
}

std::shared_ptr<platform::UIView> KJTipTargetElement::findCellInTable(
    const std::shared_ptr<platform::UITableView>& table) {
    NSIndexPath path = *indexPath();
    if (auto cell = table->cellForRowAtIndexPath(path)) {
        // The row is there: no more waiting for the table to scroll. Not being one of its
        // observers is fine.
        if (table->hasObservers() && table->removeObserver(this, kContentOffset))
            std::erase_if(observedTables_, [&](const auto& weak) { return weak.lock() == table; });
        return cell;
    }

    auto step = parentElement.lock();
    std::optional<StepPlace> place;
    if (step) {
        StepPlaceLookup lookup;
        {
            std::lock_guard lock(stepPlaceSeam().mutex);
            lookup = stepPlaceSeam().lookup;
        }
        if (lookup) place = lookup(*step);
    }
    // A step of a tour past its first one brings its row on screen itself.
    bool laterTourStep = place && place->campaignTipType == 1 && place->position != size_t{0};
    if (laterTourStep && step->placement != 0) {
        bool inRange = section >= 0 && section < table->numberOfSections() && row >= 0 &&
                       row < table->numberOfRowsInSection(section);
        if (inRange) {
            if (step->placement == 4) {
                table->scrollToRowAtIndexPath(path, platform::UITableViewScrollPosition::Top, false);
            } else if (step->placement == 3) {
                table->scrollToRowAtIndexPath(path, platform::UITableViewScrollPosition::Bottom, false);
            } else {
                auto visible = table->indexPathsForVisibleRows();
                if (std::find(visible.begin(), visible.end(), path) == visible.end())
                    table->scrollToRowAtIndexPath(path, platform::UITableViewScrollPosition::Middle, false);
            }
        }
        return table->cellForRowAtIndexPath(path);
    }

    // Wait for the row: the table's scrolling brings the tip engine back to the screen.
    if (!table->hasObservers()) {
        table->addObserver(shared_from_this(), kContentOffset);
        observedTables_.push_back(table);
    }
    return nullptr;
}

std::shared_ptr<platform::UIView> KJTipTargetElement::findCellInCollection(
    const std::shared_ptr<platform::UIViewController>& controller,
    const std::shared_ptr<platform::NSObject>& named) {
    auto collection = std::dynamic_pointer_cast<platform::UICollectionView>(named);
    if (!collection) collection = findCollectionViewInContainView(controller->view());
    if (!collection) return controller->view();
    NSIndexPath path = *indexPath();
    bool inRange = section >= 0 && section < collection->numberOfSections() && row >= 0 &&
                   row < collection->numberOfItemsInSection(section);
    if (inRange) {
        auto visible = collection->indexPathsForVisibleItems();
        if (std::find(visible.begin(), visible.end(), path) == visible.end())
            collection->scrollToItemAtIndexPath(path, false);
    }
    return collection->cellForItemAtIndexPath(path);
}

std::shared_ptr<platform::UITableView> KJTipTargetElement::findTableViewInContainView(
    const std::shared_ptr<platform::UIView>& view) {
    if (!view) return nullptr;
    if (auto table = std::dynamic_pointer_cast<platform::UITableView>(view)) return table;
    for (const auto& subview : view->subviews())
        if (auto table = findTableViewInContainView(subview)) return table;
    return nullptr;
}

std::shared_ptr<platform::UICollectionView> KJTipTargetElement::findCollectionViewInContainView(
    const std::shared_ptr<platform::UIView>& view) {
    if (!view) return nullptr;
    if (auto collection = std::dynamic_pointer_cast<platform::UICollectionView>(view)) return collection;
    for (const auto& subview : view->subviews())
        if (auto collection = findCollectionViewInContainView(subview)) return collection;
    return nullptr;
}

void KJTipTargetElement::observeValueForKeyPath(const std::string& keyPath,
                                                const std::shared_ptr<platform::NSObject>& object) {
    if (keyPath != kContentOffset || !std::dynamic_pointer_cast<platform::UITableView>(object)) return;
    // Each movement asks once; nothing else is pending with the tip engine to be cancelled.
    platform::DispatchQueue::main()->asyncAfter(0.1, [] {
        auto tips = BLQPublished<BLQITipManager>::get();
        if (!tips) return;
        platform::Notification::ObjectMap objects;
        if (auto screen = tips->customerCurrentVC()) objects["vc"] = screen;
        tips->showTipForViewController(Value::dictionary(), objects);
    });
}

void KJTipTargetElement::stopObservingTables() {
    for (const auto& weak : observedTables_)
        if (auto table = weak.lock()) table->removeObserver(this, kContentOffset);
    observedTables_.clear();
}

}  // namespace brindlecue
