#include "tips/BLQStepTitleGuideParam.h"

#include "feed/BLQStepOptionsGuideParam.h"

namespace brindlecue {

using platform::Value;

namespace {

// Sets step[outer][inner] to the value, keeping what else step[outer] holds.
void setInner(Value& step, const std::string& outer, const std::string& inner, const Value& value) {
    Value dictionary = step[outer].isDictionary() ? step[outer] : Value::dictionary();
    dictionary.set(inner, value);
    step.set(outer, dictionary);
}

void insertText(const Value& hostStep, Value& step, const Value& feedTemplate, const std::string& key,
                const std::string& feedbackKey, const std::string& ownKey) {
    const Value& value = hostStep[key];
    if (value.isAbsent() || !step.isDictionary()) return;
    if (BLQStepOptionsGuideParam::templateGuideType(feedTemplate) == BLQGuideType::feedback) {
        setInner(step, "feedback", feedbackKey, value);
    } else {
        setInner(step, ownKey, "text", value);
    }
}

}  // namespace

void BLQStepTitleGuideParam::insertValue(const Value& hostStep, Value& step, const Value& feedTemplate) const {
    insertText(hostStep, step, feedTemplate, getKey(), "title", "title");
}

void BLQStepContentGuideParam::insertValue(const Value& hostStep, Value& step, const Value& feedTemplate) const {
    insertText(hostStep, step, feedTemplate, getKey(), "message", "content");
}

}  // namespace brindlecue
