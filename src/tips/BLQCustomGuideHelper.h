#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/BLQICustomGuideParam.h"
#include "foundation/BLQILoggable.h"
#include "tips/BLQICustomGuideHelper.h"

namespace brindlecue {

class BLQIFeedManager;

// Expands a custom guide document ({"steps": [{"template": name, "title", "content", "image",
// "width", "height", "options"}, ...]}) into a campaign feed item.
//
// Each step becomes the JSON template of its name from the resource bundle (the host's main
// bundle first), with an overlay put over it: {"meta": {"id": <index>}} and what the step
// parameters, in list order, take from the host's step. The expanded steps go under "content"
// "payload" of a new campaign record of the app key (a new id, which is also the campaign id;
// active from now for 365 days), which is put over the "SetupTemplate" template.
//
// A document without a list of step dictionaries, a step without a template name, or a template
// that is missing or is not a JSON object aborts the whole document; a missing setup template
// gives nothing as well. Every such failure is logged at level 4 ("CustomGuideHelper: ...") and
// the result is none. Holds only its parameters; any thread.
class BLQCustomGuideHelper : public BLQICustomGuideHelper, public BLQILoggable {
public:
    static constexpr const char* kSetupTemplate = "SetupTemplate";
    static constexpr double kActiveSeconds = 31536000.0;

    explicit BLQCustomGuideHelper(std::vector<std::shared_ptr<BLQICustomGuideParam>> customGuideParams);
    // The helper with the library's step parameters: title, content, image, width, height, options.
    static std::shared_ptr<BLQCustomGuideHelper> withDefaultParams();

    const std::vector<std::shared_ptr<BLQICustomGuideParam>>& customGuideParams() const { return params_; }

    // "id" and "campaignid" (one new upper-case UUID), "app_key", "title" and "message" (""), "type"
    // ("CAMPAIGN"), "activates", "expires" (365 days later), "created" and "modified" (as
    // "activates"), the dates as ISO-8601 text with milliseconds.
    virtual platform::Dictionary createBasePayloadForAppKey(const std::string& appKey) const;
    std::optional<platform::Dictionary> createPayloadForAppKey(const std::string& appKey,
                                                               const platform::Value& customPayload) const override;

private:
    // The template's JSON object, or none (logged).
    std::optional<platform::Dictionary> loadTemplate(const std::string& name) const;

    std::vector<std::shared_ptr<BLQICustomGuideParam>> params_;
};

// The registered helper (the dependency container's BLQICustomGuideHelper).
class BLQCustomGuideHelperFactory {
public:
    static std::shared_ptr<BLQICustomGuideHelper> createHelper();
};

// A guide the host adds from code: the document expanded for the app key and handed to the feed
// manager as an added guide (taken in beside the stored campaigns, which it does not prune). A
// document that does not expand adds nothing. Returns whether a guide was handed on.
bool blqAddCustomGuide(const BLQICustomGuideHelper& helper, BLQIFeedManager& feedManager,
                       const std::string& appKey, const platform::Value& customPayload);

}  // namespace brindlecue
