// Feed results and acknowledgements (user events 8201 and 8200) as every layer reports them, and
// the pruning of disabled campaigns.

#include "events/BLQIUserEventManager.h"
#include "facade/BLQFacadeLink.h"
#include "facade/Brindlecue.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQUtils.h"
#include "foundation/NSStringKJExt.h"
#include "storage/KJDao.h"

namespace brindlecue {

using platform::Value;

namespace {

// The word of a result taken as a 32-bit signed integer; anything outside -1 to 4 is "accepted".
std::string resultWord(BLQFeedResult result) {
    auto raw = static_cast<int32_t>(static_cast<int64_t>(result));
    auto known = BLQFeedResultFromRawValue(raw);
    return asStringForServer(known.value_or(BLQFeedResult::accepted));
}

// A step id as text: a text as it is, any other value as its description; none when absent.
std::optional<std::string> stepIdText(const Value& stepId) {
    if (stepId.isNil()) return std::nullopt;
    if (const std::string* text = stepId.getString()) return *text;
    return stepId.description();
}

}  // namespace

void Brindlecue::sendFeedAck(const std::string& feedId) {
    // An acknowledgement without a feed id leaves the key out rather than sending an empty id.
    Value details = Value::dictionary({});
    if (!feedId.empty()) details.set("feed_id", feedId);
    userEventManager_->sendUserEventWithCode(8200, "Ack feed: " + feedId, details);
}

void Brindlecue::notifyFeedResult(const std::string& feedId, BLQFeedResult result) {
    notifyFeedResult(std::optional<std::string>(feedId), Value(), result, Value(), false, false);
}

void Brindlecue::notifyFeedResultWithResults(const std::string& feedId, const Value& results) {
    userEventManager_->sendUserEventWithCode(8201, "Feed result: " + feedId, results);
}

void Brindlecue::notifyFeedResultOnError(const std::string& feedId, const std::string& campaignId,
                                         const std::string& tipType, const std::string& stepId,
                                         const Value& message) {
    Value details = Value::dictionary({{"feed_id", feedId}, {"complete", false}});
    if (!message.isNil()) {
        std::string text = message.isString() ? *message.getString() : message.description();
        details.set("error_content", message);
        details.set("error_hash", NSStringKJExt::md5(text));
    }
    details.set("campaignid", campaignId);
    details.set("step_id", stepId);
    details.set("feed_delete", true);
    details.set("tool", tipType);
    details.set("status", "error");
    userEventManager_->sendUserEventWithCode(8201, "Feed result with error: " + feedId, details);
}

void Brindlecue::notifyFeedResult(const std::optional<std::string>& feedId, const Value& campaignId,
                                  BLQFeedResult result, const Value& stepId, bool deleteFeed,
                                  bool completed) {
    Value details = Value::dictionary({});
    if (feedId) details.set("feed_id", *feedId);
    if (!campaignId.isNil()) details.set("guideid", campaignId);
    details.set("status", resultWord(result));
    details.set("feed_delete", deleteFeed);
    details.set("complete", completed);
    if (auto step = stepIdText(stepId); step && !step->empty()) details.set("step_id", *step);
    userEventManager_->sendUserEventWithCode(8201, "Feed result: " + feedId.value_or("(null)"), details);
}

void Brindlecue::notifyFeedResult(const std::string& feedId, const std::string& campaignId,
                                  BLQFeedResult result, const std::string& stepId, bool deleteFeed,
                                  bool completed) {
    notifyFeedResult(std::optional<std::string>(feedId), Value(campaignId), result, Value(stepId), deleteFeed,
                     completed);
}

void Brindlecue::deleteDisabledCampaign() {
    std::vector<std::string> feedIds;
    for (const auto& feed : pollingFeedArray())
        if (feed && feed->feed_id()) feedIds.push_back(*feed->feed_id());
    if (BLQFacadeLink::isInPreviewMode()) return;
    KJDao::deleteDisabledCampaign(feedIds);
}

std::function<void(const Value&)> Brindlecue::newFeedHandler() const {
    std::lock_guard lock(mutex_);
    return newFeedHandler_;
}

void Brindlecue::setNewFeedHandler(std::function<void(const Value&)> handler) {
    std::lock_guard lock(mutex_);
    newFeedHandler_ = std::move(handler);
}

}  // namespace brindlecue
