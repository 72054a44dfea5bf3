#pragma once

#include "feed/BLQICustomGuideParam.h"

namespace brindlecue {

// "width" given as text ("80%", "320"): the step's "meta" "display-params" get the text under
// "width" and its unit under "_width_unit" ("%" when the text holds a "%", else "px"). Values
// that are not text change nothing.
class BLQStepWidthGuideParam final : public BLQICustomGuideParam {
public:
    std::string getKey() const override { return "width"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
};

// "height": as the width, under "height" and "_height_unit".
class BLQStepHeightGuideParam final : public BLQICustomGuideParam {
public:
    std::string getKey() const override { return "height"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
};

}  // namespace brindlecue
