// What the host calls on the facade besides the start call: tags, pages, friendly names, guides,
// deep links, searchable items, logging and the SDK version check.

#include <algorithm>
#include <cctype>

#include <unicode/unistr.h>

#include "config/BLQAppDetailsProvider.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "facade/BLQFacadeLink.h"
#include "facade/Brindlecue.h"
#include "facade/KJFriendlyNameObject.h"
#include "facade/KJViewActivity.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQUtils.h"
#include "foundation/KJInterceptor.h"
#include "foundation/UtilsForAny.h"
#include "network/KJHTTPSessionManager.h"
#include "platform/CSSearchableIndex.h"
#include "platform/Device.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/foundation/NSUserActivity.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIImage.h"
#include "tags/BLQITagManager.h"
#include "tips/BLQCustomGuideHelper.h"

namespace brindlecue {

using platform::UserDefaults;
using platform::Value;

namespace {

constexpr const char* kUserIdKey = "kj_cuid";
constexpr const char* kLanguageTag = "kj_language";
constexpr const char* kCountryTag = "kj_country";
constexpr const char* kPhoneTag = "kj_phone";
constexpr const char* kAppIdKey = "APPID_KEY";
constexpr const char* kSpotlightMapping = "SPOTLIGHT_DEEPLINKING_MAPPING";
constexpr const char* kEnterBackPageHistory = "ENTERBAK_PAGE_HISTORY";
constexpr const char* kEnterPageHistory = "ENTER_PAGE_HISTORY";
constexpr size_t kMaxTagKeyLength = 500;
constexpr size_t kMaxFriendlyNameLength = 150;

void systemLog(const std::string& message) {
    platform::SystemLog("com.brindlecue", "BrindlecueSDK").log(platform::LogType::Default, message);
}

// Characters, not bytes: keys may be any text.
size_t characterCount(const std::string& text) {
    return static_cast<size_t>(icu::UnicodeString::fromUTF8(text).countChar32());
}

std::string firstCharacters(const std::string& text, size_t count) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    int32_t end = unicode.moveIndex32(0, static_cast<int32_t>(count));
    std::string out;
    unicode.tempSubString(0, end).toUTF8String(out);
    return out;
}

bool containsIgnoringCase(const std::string& text, const std::string& word) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return lower(text).find(lower(word)) != std::string::npos;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

bool equalsCaseInsensitive(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The text of a number as the platform prints a double's stringValue: integral values without a
// decimal part.
std::string numberText(double value) {
    return UtilsForAny::convertToString(std::any(value)).value_or("");
}

// Compares as the platform's numeric search does: runs of digits by their value, other characters
// one by one. Negative, zero or positive.
int compareNumerically(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t si = i, sj = j;
            while (i < a.size() && digit(a[i])) ++i;
            while (j < b.size() && digit(b[j])) ++j;
            std::string x = a.substr(si, i - si), y = b.substr(sj, j - sj);
            x.erase(0, std::min(x.find_first_not_of('0'), x.size()));
            y.erase(0, std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (int c = x.compare(y)) return c < 0 ? -1 : 1;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

// ---- Tags -------------------------------------------------------------------------------------------

std::string Brindlecue::checkTagKey(const std::string& key) {
    if (characterCount(key) <= kMaxTagKeyLength) return key;
    std::string cut = firstCharacters(key, kMaxTagKeyLength);
    log("WARNING: Tag key should be no more than 500 characters. Your key will be truncated as \"" + cut +
            "\".",
        4);
    return cut;
}

bool Brindlecue::checkTagValue(const Value& value, const std::string& key) {
    if (key.empty() || !equalsCaseInsensitive(key, kPhoneTag)) return true;
    const std::string* text = value.getString();
    bool valid = text && text->size() >= 2 && (*text)[0] == '+' &&
                 std::all_of(text->begin() + 1, text->end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!valid)
        systemLog(
            "WARNING: Please provide a phone number in the following format: +<country code><national "
            "destination "
            "code (optional)><subscriber number>. Examples: +6140XXXXXXX (mobile number Australia), "
            "+4930XXXXXXXX "
            "(landline number Berlin/Germany), +8621XXXXXXXX (landline number Shanghai/China)");
    return valid;
}

bool Brindlecue::saveTag(const std::string& key, const std::any& value, bool forceUpdate) {
    tagManager_->saveTagWithKey(checkTagKey(key), value, nullptr, nullptr, forceUpdate);
    return true;
}

bool Brindlecue::tagString(const std::string& value, const std::string& key, bool forceUpdate) {
    if (value.empty() || key.empty() || !checkTagValue(Value(value), key)) return false;
    return saveTag(key, std::any(value), forceUpdate);
}

bool Brindlecue::tagNumeric(double value, const std::string& key, bool forceUpdate) {
    if (key.empty() || !checkTagValue(Value(value), key)) return false;
    return saveTag(key, std::any(value), forceUpdate);
}

bool Brindlecue::tagDatetime(const std::optional<platform::Date>& value, const std::string& key,
                             bool forceUpdate) {
    if (!value || key.empty() || !checkTagValue(Value(*value), key)) return false;
    return saveTag(key, std::any(*value), forceUpdate);
}

bool Brindlecue::tagUserId(const Value& value, bool forceUpdate) {
    std::string text;
    if (const std::string* s = value.getString()) {
        text = *s;
    } else if (auto date = value.getDate()) {
        text = blqFormatDate(*date);
    } else if (value.isInteger() || value.isReal()) {
        text = numberText(value.doubleValue());
    } else {
        return false;
    }
    return tagString(text, kUserIdKey, forceUpdate);
}

bool Brindlecue::tagUserLanguage(const std::string& language) {
    std::string value = language;
    if (value.empty()) {
        auto languages = platform::Device::preferredLanguages();
        value = languages.empty() ? "" : languages.front();
    }
    return tagString(value, kLanguageTag);
}

bool Brindlecue::tagUserCountry() {
    return tagString(platform::Device::countryCode().value_or(""), kCountryTag);
}

bool Brindlecue::removeTag(const std::string& key) {
    if (key.empty()) return false;
    tagManager_->deleteTagWithKey(checkTagKey(key));
    return true;
}

bool Brindlecue::incrementTag(const std::string& key) {
    return incrementTag(1.0, key);
}

bool Brindlecue::incrementTag(double amount, const std::string& key) {
    if (key.empty()) return false;
    tagManager_->incrementTagWithKey(checkTagKey(key), static_cast<int64_t>(amount));
    return true;
}

bool Brindlecue::tagExists(const std::string& key) {
    if (key.empty()) return false;
    return tagManager_->getTagWithKey(key) != nullptr;
}

// ---- Pages and friendly names ------------------------------------------------------------------------

void Brindlecue::kjNotifyPageEnter(const std::string& page) {
    kjNotifyPageEnter(page, applicationLifeCycleState() != 2, true);
}

void Brindlecue::kjNotifyPageExit(const std::string& page) {
    if (!currentView()) return;
    std::optional<std::string> name;
    if (!page.empty()) {
        name = KJFriendlyNameObject::tryFriendlyName(page);
        auto entered = UserDefaults::standard().string(kEnterPageHistory);
        if (!entered || entered->empty()) {
            auto back = UserDefaults::standard().string(kEnterBackPageHistory);
            if (back && !back->empty())
                kjNotifyPageEnter(KJFriendlyNameObject::tryFriendlyName(*back).value_or(*back));
        }
    }
    kjNotifyPageExit(name, true);
}

bool Brindlecue::kjCustomActivityList(const std::vector<std::shared_ptr<KJFriendlyNameObject>>& list) {
    if (!enabled()) return false;
    platform::Array entries;
    for (const auto& item : list) {
        if (!item) return false;
        const std::string& name = item->friendlyName;
        if (name.empty() || characterCount(name) >= kMaxFriendlyNameLength ||
            name.find(':') != std::string::npos) {
            log("Wrong format for friendly name " + name + ".", 2);
            return false;
        }
        if (item->vc.empty()) {
            log("Wrong format for vc " + item->vc + ".", 2);
            return false;
        }
        Value entry = Value::dictionary(
            {{KJFriendlyNameObject::kNameKey, name}, {KJFriendlyNameObject::kVCKey, item->vc}});
        if (item->xib_iphone && !item->xib_iphone->empty())
            entry.set(KJFriendlyNameObject::kXibPhoneKey, *item->xib_iphone);
        if (item->xib_ipad && !item->xib_ipad->empty())
            entry.set(KJFriendlyNameObject::kXibPadKey, *item->xib_ipad);
        entries.push_back(std::move(entry));
    }
    auto& defaults = UserDefaults::standard();
    defaults.set(KJFriendlyNameObject::kListKey, Value(std::move(entries)));
    defaults.synchronize();
    int32_t mode = blqAppMode();
    bool background = platform::UIApplication::sharedApplication()->applicationState() ==
                      platform::UIApplicationState::Background;
    if (isDebugMode() && mode != 4 && mode != 5 && !background) submitFriendlyNames();
    return true;
}

void Brindlecue::submitFriendlyNames() {
    auto install = currentInstall();
    if (!install || !install->installId || install->installId->empty()) return;
    std::vector<std::string> names;
    if (auto list = UserDefaults::standard().array(KJFriendlyNameObject::kListKey)) {
        for (const auto& entry : *list) {
            const std::string* name = entry[KJFriendlyNameObject::kNameKey].getString();
            if (!name) continue;
            if (std::find(names.begin(), names.end(), *name) != names.end()) {
                systemLog("WARNING: friendly name \"" + *name +
                          "\" redefined. Please choose different names.");
                continue;
            }
            names.push_back(*name);
        }
    }
    if (names.empty()) return;
    platform::Array array;
    for (const auto& name : names) array.emplace_back(name);
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    KJHTTPSessionManager::sharedInstance()->POST(
        "/apps/submit_views/", 1,
        Value::dictionary({{"KJ_BODY", blqSerializeObjToJson(Value(std::move(array)))}}), nullptr,
        [weak](const auto&, const platform::Error& error) {
            if (auto facade = weak.lock())
                facade->log("Fail to submit friendly name: " + error.description(), 2);
        });
}

void Brindlecue::setReactViewName(const std::string& name) {
    if (name.empty()) {
        log("failed to set view name sent from react native, view name is empty", 2);
        return;
    }
    log("React Native View Name " + name, 2);
    if (!platform::ClassRegistry::exists("BLQBrindlecueBridge")) {
        log("failed to set view name sent from react native, Brindlecue SDK not installed properly", 2);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        rnViewName_ = name;
    }
    std::string unquoted = name;
    std::erase(unquoted, '"');
    platform::NotificationCenter::defaultCenter().post(
        "QXRCTRegisterViewName", std::make_shared<Value>(Value::dictionary({{"viewName", unquoted}})));
}

// ---- Guides and links ------------------------------------------------------------------------------------

void Brindlecue::showOnDemandGuide(const std::string& campaignId) {
    tipManager_->showOnDemandGuide(campaignId);
}

void Brindlecue::registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key) {
    tipManager_->registerGuideBlock(std::move(block), key);
}

void Brindlecue::addGuide(const Value& customPayload) {
    blqAddCustomGuide(*customGuideHelper_, *feedManager_, appKey().value_or(""), customPayload);
}

bool Brindlecue::openURL(const std::string& url) {
    log("Brindlecue open URL received: " + url + ".", 1);
    auto parsed = platform::URL::fromString(url);
    std::vector<std::string> path = parsed ? split(parsed->path(), '/') : std::vector<std::string>{};
    // The marker stands as the URL's host, so the path's first component is empty and the
    // parts that follow are the key, the value or the guide id.
    if (containsIgnoringCase(url, "brindlecue_set_tag") && path.size() >= 3 && !path[1].empty() &&
        !path[2].empty())
        tagString(path[2], path[1]);
    if (containsIgnoringCase(url, "brindlecue_add_guide") && path.size() >= 2 && !path[1].empty())
        addGuide(Value::dictionary({{"steps", Value::array({Value::dictionary({{"template", path[1]}})})}}));
    if (containsIgnoringCase(url, "blq_guide") && parsed && parsed->query()) {
        for (const auto& piece : split(*parsed->query(), '?')) {
            auto pair = split(piece, '=');
            if (pair.size() >= 2 && equalsCaseInsensitive(pair[0], "blq_guide")) {
                setOnDemandCampaignID(pair[1]);
                break;
            }
        }
    }
    return false;
}

bool Brindlecue::continueUserActivity(const std::shared_ptr<platform::NSUserActivity>& activity) {
    auto handler = openUrlHandler();
    if (!handler || !activity) return false;
    if (activity->activityType() == platform::NSUserActivity::NSUserActivityTypeBrowsingWeb)
        return openURL(activity->webpageURL().value_or(""));
    const std::string* identifier =
        activity->userInfo()[platform::NSUserActivity::CSSearchableItemActivityIdentifier].getString();
    std::string link = identifier ? *identifier : "";
    if (identifier) {
        if (auto mapping = UserDefaults::standard().dictionary(kSpotlightMapping)) {
            if (const Value* mapped = mapping->find(*identifier); mapped && mapped->isString())
                link = *mapped->getString();
        }
    }
    if (link.empty()) return false;
    handler(link);
    return true;
}

void Brindlecue::indexSpotlightSearchForIdentifier(const std::string& identifier, const std::string& deeplink,
                                                   const std::string& title, const std::string& description,
                                                   const std::shared_ptr<platform::UIImage>& thumbnail,
                                                   const std::vector<std::string>& keywords) {
    if (identifier.empty()) {
        log("Spotlight's identifier cannot be empty.", 1);
        return;
    }
    platform::CSSearchableItem item;
    item.uniqueIdentifier = identifier;
    item.attributeSet.contentType = platform::CSSearchableIndex::kUTTypeImage;
    item.attributeSet.title = title;
    item.attributeSet.contentDescription = description;
    if (thumbnail) item.attributeSet.thumbnailData = platform::UIImagePNGRepresentation(thumbnail);
    item.attributeSet.keywords = keywords;
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    platform::CSSearchableIndex::defaultSearchableIndex()->indexSearchableItems(
        {std::move(item)}, [weak, identifier, deeplink](const std::optional<platform::Error>& error) {
            auto facade = weak.lock();
            if (!facade) return;
            if (error) {
                facade->log("Fail to index splotlight item due to error: " + error->description(), 5);
                return;
            }
            if (deeplink.empty()) return;
            auto& defaults = UserDefaults::standard();
            platform::Dictionary mapping =
                defaults.dictionary(kSpotlightMapping).value_or(platform::Dictionary());
            if (const Value* stored = mapping.find(identifier);
                stored && stored->isString() && *stored->getString() == deeplink)
                return;
            mapping.set(identifier, deeplink);
            defaults.set(kSpotlightMapping, Value(std::move(mapping)));
            defaults.synchronize();
        });
}

void Brindlecue::deleteSpotlightItemsForIdentifiers(const std::vector<std::string>& identifiers) {
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    platform::CSSearchableIndex::defaultSearchableIndex()->deleteSearchableItemsWithIdentifiers(
        identifiers, [weak, identifiers](const std::optional<platform::Error>& error) {
            auto facade = weak.lock();
            if (!facade) return;
            if (error) {
                facade->log("Fail to delete splotlight items due to error: " + error->description(), 5);
                return;
            }
            auto& defaults = UserDefaults::standard();
            auto mapping = defaults.dictionary(kSpotlightMapping);
            if (!mapping) return;
            for (const auto& identifier : identifiers) mapping->remove(identifier);
            defaults.set(kSpotlightMapping, Value(std::move(*mapping)));
            defaults.synchronize();
        });
}

void Brindlecue::deleteAllSpotlightItems() {
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    platform::CSSearchableIndex::defaultSearchableIndex()->deleteAllSearchableItems(
        [weak](const std::optional<platform::Error>& error) {
            auto facade = weak.lock();
            if (!facade) return;
            if (error) {
                facade->log("Fail to delete all splotlight items due to error: " + error->description(), 5);
                return;
            }
            auto& defaults = UserDefaults::standard();
            defaults.set(kSpotlightMapping, Value::dictionary({}));
            defaults.synchronize();
        });
}

// ---- Logging, version and small utilities ------------------------------------------------------------

void Brindlecue::logToConsoleAtLevel(int64_t level, const std::string& formattedMessage) {
    BLQFacadeLink::logToConsoleAtLevel(level, formattedMessage);
}

void Brindlecue::verifySDKVersion() {
    std::optional<std::string> earlier;
    {
        std::lock_guard lock(mutex_);
        if (isVerifySDKCalled_) earlier = sdkVerificationMessage_.value_or("");
    }
    if (earlier) {
        log(*earlier, 1);
        return;
    }
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    Value parameters = Value::dictionary(
        {{"app_key", appKey().value_or("")}, {"operating_system", "ios"}, {"ordering", "-qx_version"}});
    KJHTTPSessionManager::sharedInstance()->GET(
        "/versions/", 3, parameters,
        [weak](const auto&, const Value& answer) {
            auto facade = weak.lock();
            if (!facade) return;
            const Value& first = answer["results"][0];
            if (!first.isDictionary()) {
                facade->log("Version item should be dictionary, but got " + first.description() + ".", 1);
                return;
            }
            if (!first.getDictionary()->contains("qx_version")) return;
            const Value& latestValue = first["qx_version"];
            std::string latest = latestValue.isNil() ? ""
                                                     : (latestValue.isString() ? *latestValue.getString()
                                                                               : latestValue.stringValue());
            std::string current = kVersion;
            bool older = compareNumerically(latest, current) > 0;
            std::string message = older
                                      ? "You are currently on an older version =  (" + current +
                                            ") of Brindlecue SDK, Kindly update it to the latest version (" +
                                            latest + ") by doing pod update"
                                      : "You are currently on version =  (" + current +
                                            ") of Brindlecue SDK, which is the latest version";
            {
                std::lock_guard lock(facade->mutex_);
                facade->isVerifySDKCalled_ = true;
                facade->sdkVerificationMessage_ = message;
            }
            if (older) facade->log(message, 1);
        },
        [weak](const auto&, const platform::Error& error) {
            auto facade = weak.lock();
            if (!facade) return;
            {
                std::lock_guard lock(facade->mutex_);
                facade->sdkVerificationMessage_ = "";
            }
            facade->log("Error in Getting SDK version " + error.description() + ".", 2);
        });
}

std::string Brindlecue::getFormattedDateTime(double secondsSince1970) const {
    return blqFormatDate(platform::Date::fromTimeIntervalSince1970(secondsSince1970));
}

std::string Brindlecue::getCurrentFormattedDateTime() const {
    return blqFormatDate(platform::Date::now());
}

std::shared_ptr<platform::UIApplicationDelegate> Brindlecue::getAppDelegate() const {
    auto delegate = platform::UIApplication::sharedApplication()->delegate();
    auto interceptor = std::dynamic_pointer_cast<KJInterceptor>(delegate);
    if (!interceptor) return delegate;
    auto second = interceptor->secondResponder();
    if (std::dynamic_pointer_cast<KJInterceptor>(second) || std::dynamic_pointer_cast<Brindlecue>(second))
        return nullptr;
    return std::dynamic_pointer_cast<platform::UIApplicationDelegate>(second);
}

bool Brindlecue::launchSystemPreferenceSettings() {
    platform::UIApplication::sharedApplication()->openURL(
        platform::UIApplication::UIApplicationOpenSettingsURLString);
    return true;
}

std::optional<int64_t> Brindlecue::appId() {
    std::lock_guard lock(mutex_);
    if (!appId_) {
        if (auto stored = UserDefaults::standard().object(kAppIdKey).getInteger()) appId_ = stored;
    }
    return appId_;
}

void Brindlecue::setAppId(std::optional<int64_t> id) {
    std::lock_guard lock(mutex_);
    appId_ = id;
}

std::string Brindlecue::clientVersion() const {
    return BLQAppDetailsProvider::hostClientVersion();
}

std::shared_ptr<BLQInstallDTO> Brindlecue::currentInstall() const {
    return installManager_ ? installManager_->getCurrentInstall() : nullptr;
}

std::string Brindlecue::developmentPlatform() const {
    return BLQAppDetailsProvider::hostDevelopmentPlatform();
}

}  // namespace brindlecue
