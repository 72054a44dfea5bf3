#pragma once

#include "feed/BLQICustomGuideParam.h"

namespace brindlecue {

// "title": on a feedback template the host's value becomes the step's "feedback" "title", on any
// other the step's "title" "text". Any value is taken as it is.
class BLQStepTitleGuideParam final : public BLQICustomGuideParam {
public:
    std::string getKey() const override { return "title"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
};

// "content": on a feedback template the step's "feedback" "message", on any other the step's
// "content" "text".
class BLQStepContentGuideParam final : public BLQICustomGuideParam {
public:
    std::string getKey() const override { return "content"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
};

}  // namespace brindlecue
