#pragma once

#include "feed/BLQGuideType.h"
#include "feed/BLQICustomGuideParam.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// "options": on a feedback template, the host's list of option texts becomes the step's
// "feedback" "c"; other guide types, and values that are not lists of texts, change nothing.
class BLQStepOptionsGuideParam final : public BLQICustomGuideParam, public BLQILoggable {
public:
    std::string getKey() const override { return "options"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
    // The template's "meta" "tool" word as a guide type; unknown when it is not text.
    static BLQGuideType templateGuideType(const platform::Value& feedTemplate);
};

}  // namespace brindlecue
