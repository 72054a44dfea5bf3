// libFuzzer target for a feed answer on its way to campaign records (see fuzz/README.md): the
// items of "results" become feed records, the records' content becomes campaigns with their steps
// as the tip engine parses them, and the content is archived as the campaign cache keeps it.
//
// What the cache keeps must read back whole, and a campaign and each of its steps must come back
// equal from their stored forms.
#include "feed/FeedValidatorService.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "fuzz_support.h"
#include "matching/BLQMatchableFactory.h"
#include "platform/KeyedArchiver.h"
#include "presentation/KJTipPresentation.h"
#include "targeting/KJTipTargetElement.h"
#include "tips/KJTipManager.h"

using namespace brindlecue;
using platform::Value;

namespace {

// More items only repeat the work of one.
constexpr size_t kMaxItems = 16;

std::shared_ptr<KJTipManager>& engine() {
    static std::shared_ptr<KJTipManager> made;
    return made;
}

void checkStoredForms(const KJTipSeriesElement& series) {
    auto back = KJTipSeriesElement::deserializeFromDictionary(series.serializeToDictionary());
    fuzzsupport::check(back && back->isEqual(&series), "a campaign does not read back from its stored form");
    for (const auto& step : series.arrayTips) {
        if (!step) continue;
        auto again = KJTipElement::deserializeFromDictionary(step->serializeToDictionary());
        fuzzsupport::check(again && again->isEqual(step.get()),
                           "a step does not read back from its stored form");
        volatile size_t sink = step->description().size();
        (void)sink;
    }
    for (const auto* list :
         {&series.repeat_conditions, &series.trigger_conditions, &series.deletion_conditions}) {
        for (const auto& matcher : BLQMatchableFactory::createFromFeedConditions(*list)) {
            volatile size_t sink = matcher ? matcher->getTagKey().size() : 0;
            (void)sink;
        }
    }
}

void takeItem(const Value& item) {
    auto feed = KJFeedObject::createFromDictionary(item);
    if (!feed) return;
    volatile size_t sink = feed->description().size();
    (void)sink;
    auto reloaded = KJFeedObject::loadFromDictionary(feed->serializeToDictionary());
    fuzzsupport::check(reloaded && reloaded->feed_id() == feed->feed_id(), "a feed record loses its id");

    Value content = feed->content();
    if (content.isDictionary()) {
        auto kept = platform::KeyedArchiver::unarchiveObject(platform::KeyedArchiver::archivedData(content));
        fuzzsupport::check(kept && *kept == content, "archived feed content does not read back");
        (void)FeedValidatorService::isFeedValid(content);
    }
    if (auto series = engine()->parseTipSeriesFromFeed(feed, false)) checkStoredForms(*series);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    KJTipTargetElement::registerWithCampaignModel();
    KJTipPresentation::registerWithCampaignModel();
    engine() = KJTipManager::make(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto answer = Value::fromJSON(fuzzsupport::text(data, size));
    if (!answer) return 0;
    const platform::Array* results = (*answer)["results"].getArray();
    if (results == nullptr) return 0;
    for (size_t i = 0; i < results->size() && i < kMaxItems; ++i) takeItem((*results)[i]);
    return 0;
}
