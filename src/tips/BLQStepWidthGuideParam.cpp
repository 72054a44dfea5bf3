#include "tips/BLQStepWidthGuideParam.h"

namespace brindlecue {

using platform::Value;

namespace {

void insertSize(const Value& hostStep, Value& step, const std::string& key) {
    const std::string* text = hostStep[key].getString();
    if (text == nullptr || !step.isDictionary()) return;
    Value meta = step["meta"].isDictionary() ? step["meta"] : Value::dictionary();
    Value display = meta["display-params"].isDictionary() ? meta["display-params"] : Value::dictionary();
    display.set(key, *text);
    display.set("_" + key + "_unit", text->find('%') != std::string::npos ? "%" : "px");
    meta.set("display-params", display);
    step.set("meta", meta);
}

}  // namespace

void BLQStepWidthGuideParam::insertValue(const Value& hostStep, Value& step, const Value&) const {
    insertSize(hostStep, step, getKey());
}

void BLQStepHeightGuideParam::insertValue(const Value& hostStep, Value& step, const Value&) const {
    insertSize(hostStep, step, getKey());
}

}  // namespace brindlecue
