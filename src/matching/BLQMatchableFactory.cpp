#include "matching/BLQMatchableFactory.h"

#include <initializer_list>

#include "feed/KJFeedConditions.h"
#include "matching/BLQDateTimeFilterMatcher.h"
#include "matching/BLQDurationFilterMatcher.h"
#include "matching/BLQExistsFilterMatcher.h"
#include "matching/BLQFilterMatcher.h"
#include "matching/BLQNumericFilterMatcher.h"
#include "matching/BLQStringFilterMatcher.h"
#include "matching/BLQVersionStringFilterMatcher.h"
#include "tags/BLQTagKey.h"

namespace brindlecue {

namespace {

bool oneOf(const std::string& word, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (word == w) return true;
    return false;
}

bool isVersionTag(const std::string& tag) {
    return tag == BLQTagKey::clientVersion() || tag == BLQTagKey::legacySdkVersion() ||
           tag == BLQTagKey::sdkVersion();
}

std::shared_ptr<BLQIMatchable> dispatch(const std::string& type, const std::string& op,
                                        const std::string& value, const std::string& tag) {
    // Built with units and timing absent: no matcher reads them.
    BLQConditionDocument document(type, op, value, tag);
    if (oneOf(type, {"tag_numeric", "numeric"})) return BLQNumericFilterMatcher::fromDocument(document);
    if (oneOf(type, {"tag_string", "string", "tag_operating_system", "operating_system"})) {
        if (isVersionTag(tag)) return BLQVersionStringFilterMatcher::fromDocument(document);
        return BLQStringFilterMatcher::fromDocument(document);
    }
    if (oneOf(type, {"tag_datetime", "datetime"})) return BLQDateTimeFilterMatcher::fromDocument(document);
    if (oneOf(type, {"tag_exists", "exists"})) return BLQExistsFilterMatcher::fromDocument(document);
    if (type == "boolean") {
        if (op == "exists") document.value = "true";
        return BLQExistsFilterMatcher::fromDocument(document);
    }
    if (oneOf(type, {"tag_timediff", "timediff", "multistep", "installed", "timedelta"}))
        return BLQDurationFilterMatcher::fromDocument(document);
    if (oneOf(type, {"tag_version", "version"})) return BLQVersionStringFilterMatcher::fromDocument(document);
    return nullptr;
}

}  // namespace

std::shared_ptr<BLQIMatchable> BLQMatchableFactory::createFromJSON(std::string_view json) {
    auto document = conditionFromJSON(json);
    if (!document) return nullptr;
    return dispatch(document->type, document->op, document->value, document->tag);
}

std::shared_ptr<BLQIMatchable> BLQMatchableFactory::createFromDictionary(const platform::Value& dictionary) {
    auto document = conditionFromDictionary(dictionary);
    return dispatch(document.type, document.op, document.value, document.tag);
}

std::vector<std::shared_ptr<BLQIMatchable>> BLQMatchableFactory::createFromFeedConditions(
    const std::vector<std::shared_ptr<KJFeedConditions>>& feedConditions) {
    std::vector<std::shared_ptr<BLQIMatchable>> matchers;
    for (const auto& condition : feedConditions) {
        if (!condition) continue;
        if (auto matcher = dispatch(condition->type, condition->op, condition->value, condition->tag))
            matchers.push_back(std::move(matcher));
    }
    return matchers;
}

std::shared_ptr<BLQIMatchable> BLQMatchableFactory::create(const std::string& type, const std::string& op,
                                                           const std::string& value, const std::string& tag,
                                                           const std::optional<std::string>&,
                                                           const std::optional<std::string>&) {
    return dispatch(type, op, value, tag);
}

}  // namespace brindlecue
