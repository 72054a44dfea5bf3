#pragma once

#include "feed/BLQICustomGuideParam.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// "image": the host's image address (text), or a dictionary whose "url" and "image-align" texts
// are taken, goes into the first image dictionary of the step's "image" list. A step without
// such a list (none, not a list of dictionaries, or an empty list) gets a list of one dictionary.
class BLQStepImageGuideParam final : public BLQICustomGuideParam, public BLQILoggable {
public:
    std::string getKey() const override { return "image"; }
    void insertValue(const platform::Value& hostStep, platform::Value& step,
                     const platform::Value& feedTemplate) const override;
};

}  // namespace brindlecue
