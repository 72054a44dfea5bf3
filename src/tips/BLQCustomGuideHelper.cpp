#include "tips/BLQCustomGuideHelper.h"

#include <fstream>
#include <iterator>

#include "feed/BLQIFeedManager.h"
#include "feed/BLQStepImageGuideParam.h"
#include "feed/BLQStepOptionsGuideParam.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQDependencyManager.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQJSONMerger.h"
#include "foundation/DateExtensions.h"
#include "platform/Crypto.h"
#include "platform/Date.h"
#include "tips/BLQStepTitleGuideParam.h"
#include "tips/BLQStepWidthGuideParam.h"

namespace brindlecue {

using platform::Dictionary;
using platform::Value;

namespace {

constexpr const char* kPrefix = "CustomGuideHelper: ";
constexpr const char* kTemplateType = "json";

bool isListOfDictionaries(const Value& value) {
    const platform::Array* list = value.getArray();
    if (list == nullptr) return false;
    for (const Value& entry : *list) {
        if (!entry.isDictionary()) return false;
    }
    return true;
}

}  // namespace

BLQCustomGuideHelper::BLQCustomGuideHelper(std::vector<std::shared_ptr<BLQICustomGuideParam>> customGuideParams)
    : params_(std::move(customGuideParams)) {}

std::shared_ptr<BLQCustomGuideHelper> BLQCustomGuideHelper::withDefaultParams() {
    return std::make_shared<BLQCustomGuideHelper>(std::vector<std::shared_ptr<BLQICustomGuideParam>>{
        std::make_shared<BLQStepTitleGuideParam>(), std::make_shared<BLQStepContentGuideParam>(),
        std::make_shared<BLQStepImageGuideParam>(), std::make_shared<BLQStepWidthGuideParam>(),
        std::make_shared<BLQStepHeightGuideParam>(), std::make_shared<BLQStepOptionsGuideParam>()});
}

Dictionary BLQCustomGuideHelper::createBasePayloadForAppKey(const std::string& appKey) const {
    const std::string id = platform::Crypto::uuidString();
    const platform::Date now = platform::Date::now();
    const std::string activates = toISO8601String(now);
    return Dictionary{
        {"id", id},
        {"app_key", appKey},
        {"campaignid", id},
        {"title", ""},
        {"message", ""},
        {"type", "CAMPAIGN"},
        {"activates", activates},
        {"expires", toISO8601String(now.addingTimeInterval(kActiveSeconds))},
        {"created", activates},
        {"modified", activates},
    };
}

std::optional<Dictionary> BLQCustomGuideHelper::loadTemplate(const std::string& name) const {
    auto bundle = blqFindBundleForResource(name, kTemplateType, false);
    if (!bundle) {
        log(kPrefix + std::string("Failed to find bundle for template with name: ") + name, BLQLoggingLevel::warning);
        return std::nullopt;
    }
    auto path = bundle->pathForResource(name, kTemplateType);
    if (!path) {
        log(kPrefix + std::string("Failed to find path for template with name: ") + name, BLQLoggingLevel::warning);
        return std::nullopt;
    }
    std::ifstream in(*path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    platform::Error error;
    auto parsed = in ? Value::fromJSON(text, &error) : std::nullopt;
    if (!parsed) {
        log(kPrefix + std::string("Failed to parse JSON for template: ") + name + ". Error: " +
                error.localizedDescription(),
            BLQLoggingLevel::warning);
        return std::nullopt;
    }
    const Dictionary* dictionary = parsed->getDictionary();
    if (dictionary == nullptr) return std::nullopt;
    return *dictionary;
}

std::optional<Dictionary> BLQCustomGuideHelper::createPayloadForAppKey(const std::string& appKey,
                                                                        const Value& customPayload) const {
    Dictionary base = createBasePayloadForAppKey(appKey);
    const Value& steps = customPayload["steps"];
    if (customPayload.count() == 0 || !isListOfDictionaries(steps)) {
        log(kPrefix + std::string("No steps included in the 'guide' dictionary, please refer to documentation"),
            BLQLoggingLevel::warning);
        return std::nullopt;
    }

    platform::Array expanded;
    for (size_t i = 0; i < steps.count(); ++i) {
        const Value& step = steps[i];
        Value overlay = Value::dictionary({{"meta", Value::dictionary({{"id", static_cast<int64_t>(i)}})}});
        const std::string* name = step["template"].getString();
        if (name == nullptr) {
            log(kPrefix + std::string("Aborting custom guide, a step was found with no 'template' specified"),
                BLQLoggingLevel::warning);
            return std::nullopt;
        }
        auto stepTemplate = loadTemplate(*name);
        if (!stepTemplate) {
            log(kPrefix + std::string("Aborting custom guide, a step was found with a 'template' name of: ") + *name +
                    ", but no template was found in the SDK bundle matching that name",
                BLQLoggingLevel::warning);
            return std::nullopt;
        }
        const Value templateValue(*stepTemplate);
        for (const auto& param : params_) {
            if (param && !step[param->getKey()].isAbsent()) param->insertValue(step, overlay, templateValue);
        }
        expanded.push_back(Value(BLQJSONMerger::mergeJSONObjects(*stepTemplate, *overlay.getDictionary())));
    }
    base.set("content", Value::dictionary({{"payload", Value(std::move(expanded))}}));

    auto setup = loadTemplate(kSetupTemplate);
    if (!setup) {
        log(kPrefix + std::string("Failed to merge template with name: ") + kSetupTemplate + " with payload for guide",
            BLQLoggingLevel::warning);
        return std::nullopt;
    }
    return BLQJSONMerger::mergeJSONObjects(*setup, base);
}

std::shared_ptr<BLQICustomGuideHelper> BLQCustomGuideHelperFactory::createHelper() {
    return BLQDependencyManager::shared().resolve<BLQICustomGuideHelper>();
}

bool blqAddCustomGuide(const BLQICustomGuideHelper& helper, BLQIFeedManager& feedManager, const std::string& appKey,
                       const Value& customPayload) {
    auto item = helper.createPayloadForAppKey(appKey, customPayload);
    auto feed = item ? KJFeedObject::createFromDictionary(Value(*item)) : nullptr;
    if (!feed) return false;
    feedManager.processFeeds({feed}, BLQFeedOrigin::addedGuide);
    return true;
}

}  // namespace brindlecue
