#include "feed/BLQStepImageGuideParam.h"

namespace brindlecue {

using platform::Value;

namespace {

bool isListOfDictionaries(const Value& v) {
    const platform::Array* list = v.getArray();
    if (list == nullptr || list->empty()) return false;
    for (const Value& entry : *list) {
        if (!entry.isDictionary()) return false;
    }
    return true;
}

}  // namespace

void BLQStepImageGuideParam::insertValue(const Value& hostStep, Value& step, const Value&) const {
    if (!step.isDictionary()) return;
    const Value& image = hostStep[getKey()];
    if (image.isAbsent()) return;

    Value first;
    if (const std::string* text = image.getString()) {
        first.set("resource", *text);
    } else if (image.isDictionary()) {
        if (const std::string* url = image["url"].getString()) first.set("resource", *url);
        if (const std::string* align = image["image-align"].getString()) first.set("image-align", *align);
    } else {
        return;
    }

    Value images =
        isListOfDictionaries(step[getKey()]) ? step[getKey()] : Value::array({Value::dictionary()});
    Value entry = images[0];
    if (const platform::Dictionary* changes = first.getDictionary()) {
        for (const auto& [key, value] : *changes) entry.set(key, value);
    }
    images.mutableArray()[0] = entry;
    step.set(getKey(), images);
}

}  // namespace brindlecue
