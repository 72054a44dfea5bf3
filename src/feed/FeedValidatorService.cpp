#include "feed/FeedValidatorService.h"

#include <initializer_list>

namespace brindlecue {

using platform::Value;

namespace {

bool holdsAll(const Value& object, std::initializer_list<const char*> keys) {
    const platform::Dictionary* d = object.getDictionary();
    if (d == nullptr) return false;
    for (const char* key : keys) {
        if (!d->contains(key)) return false;
    }
    return true;
}

}  // namespace

bool FeedValidatorService::isFeedValid(const Value& row) {
    return isPayloadFeedValid(row) && iSetupFeedValid(row);
}

bool FeedValidatorService::isPayloadFeedValid(const Value& row) {
    return holdsAll(row, {"setup", "seriesAuthorMode", "feed_id", "campaignid", "modified"});
}

bool FeedValidatorService::iSetupFeedValid(const Value& row) {
    return holdsAll(row["setup"], {"view", "display", "tool"});
}

}  // namespace brindlecue
