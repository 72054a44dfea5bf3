// libFuzzer target for tag-condition documents (see fuzz/README.md): the conditions of campaigns
// that decide, against the device's tags, whether a campaign shows.
//
// A JSON object is read in both forms (decoding and dictionary) and its matcher is run against
// tag values of every kind, the document's own value and its "sample" text; a JSON array is read
// as a feed's condition list.
#include "feed/KJFeedConditions.h"
#include "fuzz_support.h"
#include "matching/BLQFilterMatcher.h"
#include "matching/BLQMatchableFactory.h"
#include "storage/BLQTagDTO.h"

using namespace brindlecue;
using platform::Value;

namespace {

void run(const std::shared_ptr<BLQIMatchable>& matcher, const Value& document) {
    if (!matcher) return;
    const std::string key = matcher->getTagKey();
    std::vector<std::string> values{"",    "42",  "-3.5", "1.2.3", "2024-01-31T10:00:00.000Z", "true",
                                    "P1D", "abc", "1e40", "nan",   "2024-01-31 10:00:00"};
    for (const char* name : {"value", "sample"}) {
        if (const std::string* text = document[name].getString()) values.push_back(*text);
    }
    for (const auto& value : values) (void)matcher->performMatch(BLQTagDTO(key, value));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto text = fuzzsupport::text(data, size);
    auto document = Value::fromJSON(text);
    if (!document) return 0;
    if (document->isArray()) {
        auto conditions = KJFeedConditions::createFeedConditionsArray(*document);
        for (const auto& matcher : BLQMatchableFactory::createFromFeedConditions(conditions))
            run(matcher, Value());
        for (const char* name : {"trigger_conditions", "repeat_conditions", "deletion_conditions"}) {
            // The text a campaign keeps its conditions in (as received, and advanced after a
            // showing) reads back to as many conditions.
            for (bool increment : {false, true}) {
                std::string kept = KJFeedConditions::getUpdatedFeedConditions(conditions, name, increment);
                auto back = KJFeedConditions::createConditionsObject(Value(kept), name);
                fuzzsupport::check(back.size() == conditions.size(),
                                   "a condition list loses conditions in its kept text");
            }
        }
        return 0;
    }
    if (auto strict = conditionFromJSON(text)) (void)strict->value.size();
    (void)conditionFromDictionary(*document);
    run(BLQMatchableFactory::createFromJSON(text), *document);
    run(BLQMatchableFactory::createFromDictionary(*document), *document);
    return 0;
}
