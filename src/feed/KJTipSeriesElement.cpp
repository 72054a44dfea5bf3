#include "feed/KJTipSeriesElement.h"

#include <utility>

#include "feed/BLQITipTargetElement.h"
#include "feed/FeedValidatorService.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/KJLog.h"
#include "storage/KJDBManager.h"

namespace brindlecue {

using platform::Value;

namespace {

const KJTipBaseElement::Exclusions kExclusions{"triggerControl", "launcher", "target", "arrayTips"};

constexpr int32_t kFloatingActionButton = 7;
constexpr int32_t kButtonTrigger = 3;

std::string screenOf(const std::shared_ptr<KJTipElement>& step) {
    return step && step->target ? step->target->vcClass() : std::string();
}

}  // namespace

const KJElementClass& KJTipSeriesElement::elementClass() {
    static const KJElementClass cls(
        "KJTipSeriesElement", &KJTipBaseElement::elementClass(),
        KJPropertyTable<KJTipSeriesElement>()
            .int32("tipDisplayType", &KJTipSeriesElement::tipDisplayType)
            .int32("tipType", &KJTipSeriesElement::tipType)
            .text("seriesAuthorMode", &KJTipSeriesElement::seriesAuthorMode)
            .int32("triggerType", &KJTipSeriesElement::triggerType)
            .other("triggerControl", "id")
            .other("launcher", kLauncherClassName)
            .other("target", BLQITipTargetElement::kClassName)
            .text("feed_id", &KJTipSeriesElement::feed_id)
            .text("campaignid", &KJTipSeriesElement::campaignid)
            .other("modified", "NSDate")
            .other("expiry", "NSDate")
            .other("arrayTips", "NSArray")
            .boolean("isMultipageTour", &KJTipSeriesElement::isMultipageTour)
            .integer("priority", &KJTipSeriesElement::priority)
            .integer("currentPreviewStep", &KJTipSeriesElement::currentPreviewStep)
            .other("faq", "NSDictionary")
            .other("fab", "NSDictionary")
            .other("repeat_conditions", "NSArray")
            .other("trigger_conditions", "NSArray")
            .other("deletion_conditions", "NSArray")
            .build());
    return cls;
}

std::shared_ptr<KJTipSeriesElement> KJTipSeriesElement::createFromFeed(const Value& row) {
    if (!row.isDictionary()) return nullptr;
    KJDocumentReader in(row, "KJTipSeriesElement");
    auto series = std::make_shared<KJTipSeriesElement>();
    const Value& setup = row["setup"];
    series->seriesAuthorMode = in.text("seriesAuthorMode");
    series->feed_id = in.text("feed_id");
    series->campaignid = in.text("campaignid");
    // Only dates count: a missing date is stored as an empty text.
    series->modified = row["modified"].getDate();
    series->expiry = row["expires"].getDate();

    series->target = std::dynamic_pointer_cast<BLQITipTargetElement>(
        KJElementClass::createFromFeed(BLQITipTargetElement::kClassName, setup));
    // The steps are asked for ahead, a level at a time while the campaign's own fields are read:
    // the list's node was asked for when the reader was made, its entries now, the steps' nodes
    // below, and each step's entries before the step ahead of it is decoded.
    const Value& payload = row["payload"];
    KJDocumentReader::prefetchEntries(payload);
    series->tipType = KJTipUtil::convertTipTypeFromString(setup["tool"]);
    series->tipDisplayType = KJTipUtil::convertTipDisplayTypeFromArray(setup["display"]);

    // The list names as texts made once, not once per campaign.
    static const std::string kRepeat = "repeat_conditions", kTrigger = "trigger_conditions",
                             kDeletion = "deletion_conditions";
    for (auto [list, name] : {std::pair{&series->repeat_conditions, &kRepeat},
                              std::pair{&series->trigger_conditions, &kTrigger},
                              std::pair{&series->deletion_conditions, &kDeletion}}) {
        *list = KJFeedConditions::createConditionsObject(row[*name], *name);
    }
    if (const platform::Array* steps = payload.getArray())
        for (const Value& step : *steps) KJDocumentReader::prefetch(step);
    series->priority = in.integer("priority");
    series->isMultipageTour = false;
    series->currentPreviewStep = in.integer("current_preview_step");

    if (series->target && series->target->vcClass().empty() && series->tipType == kFloatingActionButton) {
        series->target->setVcClass(kAllScreens);
    }
    if (!series->target || series->target->vcClass().empty() || series->tipType == 0) {
        KJLog(1, "Ignore this feed because missing key: %@.", setup);
        return nullptr;
    }
    const Value& launcher = setup["launcher"];
    if (!launcher.isDictionary()) return nullptr;
    series->triggerType = KJTipUtil::convertTriggerTypeFromString(launcher["type"]);
    if (series->triggerType == 0) return nullptr;
    if (series->triggerType == kButtonTrigger) {
        series->launcher = KJElementClass::createFromFeed(kLauncherClassName, launcher);
    }

    if (const platform::Array* steps = payload.getArray()) {
        if (!steps->empty()) KJDocumentReader::prefetchEntries(steps->front());
        for (size_t i = 0; i < steps->size(); ++i) {
            const Value& object = (*steps)[i];
            if (i + 1 < steps->size()) KJDocumentReader::prefetchEntries((*steps)[i + 1]);
            if (!object.isDictionary()) continue;
            auto step = KJTipElement::createFromFeed(object);
            if (!step) continue;
            step->campaignid = series->campaignid.value_or("");
            step->series = series;
            step->feed_id = series->feed_id;
            series->arrayTips.push_back(std::move(step));
        }
    }
    series->isMultipageTour = isMutiPage(series->arrayTips);
    return series;
}

bool KJTipSeriesElement::isMutiPage(const std::vector<std::shared_ptr<KJTipElement>>& steps) {
    // Each step's screen is taken once, as the next step's and then as its own.
    std::string next = steps.empty() ? std::string() : screenOf(steps[0]);
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
        std::string screen = std::exchange(next, screenOf(steps[i + 1]));
        if (screen == kAllScreens || next == kAllScreens) {
            const auto& button = steps[i] ? steps[i]->next : nullptr;
            if (button && !button->actionUrl.value_or("").empty()) return true;
        } else if (screen != next) {
            return true;
        }
    }
    return false;
}

bool KJTipSeriesElement::storedForm(KJStoredForm& out) const {
    static const KJStoredKey& kLauncher = KJStoredKey::named("launcher");
    static const KJStoredKey& kTarget = KJStoredKey::named("target");
    static const KJStoredKey& kArrayTips = KJStoredKey::named("arrayTips");
    out.record(kLauncher, launcher);
    out.record(kTarget, target);
    // The steps are written always, an empty list included.
    out.records(kArrayTips, arrayTips);
    static const StoredExclusions kStored(kExclusions);
    storedProperties(out, kStored);
    return true;
}

std::shared_ptr<KJTipSeriesElement> KJTipSeriesElement::deserializeFromDictionary(const Value& stored) {
    auto series = std::make_shared<KJTipSeriesElement>();
    if (stored["launcher"].isDictionary()) {
        series->launcher = KJElementClass::deserializeFromDictionary(kLauncherClassName, stored["launcher"]);
    }
    if (stored["target"].isDictionary()) {
        series->target = std::dynamic_pointer_cast<BLQITipTargetElement>(
            KJElementClass::deserializeFromDictionary(BLQITipTargetElement::kClassName, stored["target"]));
    }
    if (const platform::Array* steps = stored["arrayTips"].getArray()) {
        for (const Value& object : *steps) {
            if (!object.isDictionary()) continue;
            auto step = KJTipElement::deserializeFromDictionary(object);
            if (!step) continue;
            step->series = series;
            series->arrayTips.push_back(std::move(step));
        }
    }
    series->deserializeFromDictionaryWithExcludeProperties(stored, kExclusions);
    return series;
}

bool KJTipSeriesElement::isEqual(const platform::NSObject* other) const {
    if (!isEqualWithExcludeProperties(other, kExclusions)) return false;
    const auto* that = dynamic_cast<const KJTipSeriesElement*>(other);
    return that && nestedEqual(launcher, that->launcher) && nestedEqual(target, that->target) &&
           arrayTips.size() == that->arrayTips.size();
}

void KJTipSeriesElement::registerWithCampaignCache(KJDBManager& cache) {
    cache.updateCollaborators([](KJDBManager::Collaborators& c) {
        c.createFromFeed = [](const Value& row) -> std::shared_ptr<KJDBTipSeries> {
            return createFromFeed(row);
        };
        c.isFeedValid = [](const Value& row) { return FeedValidatorService::isFeedValid(row); };
    });
}

}  // namespace brindlecue
