#include "feed/BLQStepOptionsGuideParam.h"

namespace brindlecue {

using platform::Value;

BLQGuideType BLQStepOptionsGuideParam::templateGuideType(const Value& feedTemplate) {
    const std::string* tool = feedTemplate["meta"]["tool"].getString();
    return tool ? BLQGuideTypeCreateFromString(*tool) : BLQGuideType::unknown;
}

void BLQStepOptionsGuideParam::insertValue(const Value& hostStep, Value& step,
                                           const Value& feedTemplate) const {
    if (!step.isDictionary()) return;
    const Value& options = hostStep[getKey()];
    const platform::Array* list = options.getArray();
    if (list == nullptr) return;
    for (const Value& option : *list) {
        if (!option.isString()) return;
    }
    if (templateGuideType(feedTemplate) != BLQGuideType::feedback) return;
    Value feedback = step["feedback"].isDictionary() ? step["feedback"] : Value::dictionary();
    feedback.set("c", options);
    step.set("feedback", feedback);
}

}  // namespace brindlecue
