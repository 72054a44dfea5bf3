#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJFeedConditions.h"
#include "feed/KJTipBaseElement.h"
#include "platform/Date.h"
#include "storage/KJDBTipSeries.h"

namespace brindlecue {

class BLQITipTargetElement;
class KJDBManager;
class KJTipElement;

// One campaign (a tip series): its setup (kind of guide, where it may appear, how it starts, the
// screen it belongs to) and the steps of its payload, built from a row of the campaign cache (the
// feed item's content with its ids, dates, condition texts and priority beside it).
//
// The stored form holds the launcher under "launcher", the target under "target", the steps under
// "arrayTips" and the convertible properties; dates, widget data and conditions are not stored.
// The launcher is a record of the presentation layer, reached by its class name
// ("KJTipLauncherElement") through KJElementClass, like the target.
class KJTipSeriesElement : public KJTipBaseElement, public KJDBTipSeries {
public:
    KJ_TIP_ELEMENT(KJTipSeriesElement)

    static constexpr const char* kLauncherClassName = "KJTipLauncherElement";
    static constexpr const char* kAllScreens = "_ALL_";

    // Whether the steps span more than one screen: two neighbouring steps on different screens,
    // or, where either is on every screen, a first step whose next button has an action address.
    static bool isMutiPage(const std::vector<std::shared_ptr<KJTipElement>>& steps);

    // Gives the campaign cache its campaigns: built from its rows, each row checked first by
    // FeedValidatorService.
    static void registerWithCampaignCache(KJDBManager& cache);

    // What the campaign cache reads and writes.
    int32_t seriesTipType() const override { return tipType; }
    std::optional<platform::Date> seriesModified() const override { return modified; }
    void setFab(const platform::Value& value) override { fab = value; }
    void setFaq(const platform::Value& value) override { faq = value; }

    // The OR of "dom" 1, "faq" 2, "feed" 4.
    int32_t tipDisplayType = 0;
    // 1 tour, 2 tip, 3 modal, 4 coachmark, 5 feedback, 6 carousel, 7 floating-action button.
    int32_t tipType = 0;
    // "CAMPAIGN", "PREVIEW" or "FAQ".
    std::optional<std::string> seriesAuthorMode;
    // 1 page open (or floating-action button), 2 click, 3 button, 4 on demand.
    int32_t triggerType = 0;
    // The host control hooked for a click or button trigger.
    std::weak_ptr<platform::NSObject> triggerControl;
    // Only for the button trigger.
    std::shared_ptr<KJTipBaseElement> launcher;
    std::shared_ptr<BLQITipTargetElement> target;
    std::optional<std::string> feed_id;
    std::optional<std::string> campaignid;
    std::optional<platform::Date> modified;
    std::optional<platform::Date> expiry;
    std::vector<std::shared_ptr<KJTipElement>> arrayTips;
    bool isMultipageTour = false;
    // Lower shows first.
    int64_t priority = 0;
    int64_t currentPreviewStep = 0;
    platform::Value faq;
    platform::Value fab;
    KJFeedConditions::List repeat_conditions;
    KJFeedConditions::List trigger_conditions;
    KJFeedConditions::List deletion_conditions;
};

}  // namespace brindlecue
