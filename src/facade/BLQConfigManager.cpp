#include "facade/BLQConfigManager.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "config/BLQConfigDefaults.h"
#include "foundation/DateExtensions.h"
#include "foundation/UtilsForAny.h"
#include "platform/foundation/URL.h"
#include "tags/SuperTagStatusAdmin.h"

namespace brindlecue {

namespace {

std::string key(BLQConfigKeys k) {
    return std::string(rawValue(k));
}

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowercased(a) == lowercased(b);
}

const char* levelName(BLQLoggingLevel level) {
    switch (level) {
        case BLQLoggingLevel::trace:
            return "trace";
        case BLQLoggingLevel::debug:
            return "debug";
        case BLQLoggingLevel::info:
            return "info";
        case BLQLoggingLevel::notice:
            return "notice";
        case BLQLoggingLevel::warning:
            return "warning";
        case BLQLoggingLevel::error:
            return "error";
    }
    return "";
}

// "[8102, 8104]".
std::string listText(const std::vector<int64_t>& codes) {
    std::string out = "[";
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) out += ", ";
        out += std::to_string(codes[i]);
    }
    return out + "]";
}

// "[{name: stdout, log_level: 2}]".
std::string listText(const std::vector<BLQLogHandlerModel>& handlers) {
    std::string out = "[";
    for (size_t i = 0; i < handlers.size(); ++i) {
        if (i > 0) out += ", ";
        out += std::string("{name: ") + toString(handlers[i].name()) +
               ", log_level: " + std::to_string(rawValue(handlers[i].logLevel())) + "}";
    }
    return out + "]";
}

// The whole text as a decimal floating-point number.
std::optional<double> readDouble(const std::string& text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

double nowSinceReferenceDate() {
    return platform::Date::now().timeIntervalSinceReferenceDate();
}

// The setting at the index of a batch read, when it is of the kind asked for.
template <class T>
std::optional<T> storedAs(const std::vector<std::any>& stored, size_t index) {
    if (const T* value = index < stored.size() ? std::any_cast<T>(&stored[index]) : nullptr) return *value;
    return std::nullopt;
}

}  // namespace

BLQConfigManager::BLQConfigManager(std::shared_ptr<BLQIConfigDataStore> store,
                                   std::shared_ptr<BLQIHTTPAPIEndpoints> apiEndpoints)
    : dataStore_(std::move(store)), apiEndpoints_(std::move(apiEndpoints)) {
    // Every setting the manager starts from, read in one go.
    using Type = BLQConfigValueType;
    const std::vector<std::any> stored = dataStore_->getConfigSettings({
        {key(BLQConfigKeys::appKey), Type::text},
        {key(BLQConfigKeys::appStatusPollInterval), Type::integer},
        {key(BLQConfigKeys::disableCodes), Type::integerList},
        {key(BLQConfigKeys::installToken), Type::text},
        {key(BLQConfigKeys::logHandlers), Type::logHandlerList},
        {key(BLQConfigKeys::logLevel), Type::loggingLevel},
        {key(BLQConfigKeys::priorityCodes), Type::integerList},
        {key(BLQConfigKeys::sdkDisabledTime), Type::text},
        {key(BLQConfigKeys::sdkVersion), Type::text},
    });
    appKey_ = storedAs<std::string>(stored, 0).value_or("");
    // The app id is stored for the record only: it starts empty at every launch until the facade
    // sets it again.
    appStatusPollInterval_ = storedAs<int64_t>(stored, 1).value_or(BLQConfigDefaults::appStatusPollInterval);
    disabledCodes_ =
        storedAs<std::vector<int64_t>>(stored, 2).value_or(BLQConfigDefaults::disabledUserEventCodes());
    installToken_ = storedAs<std::string>(stored, 3);
    logHandlers_ =
        storedAs<std::vector<BLQLogHandlerModel>>(stored, 4).value_or(std::vector<BLQLogHandlerModel>{
            BLQLogHandlerModel(BLQLogHandlerName::stdout_, BLQLoggingLevel::info)});
    logLevel_ = storedAs<BLQLoggingLevel>(stored, 5).value_or(BLQConfigDefaults::logLevel);
    // An empty list is stored as empty text, which reads as nothing stored.
    priorityCodes_ = storedAs<std::vector<int64_t>>(stored, 6).value_or(std::vector<int64_t>{});
    if (priorityCodes_.empty()) priorityCodes_ = BLQConfigDefaults::priorityUserEventCodes();
    // Stored as its number text, so that a timed pause ordered by the server outlives a restart.
    // "Until further notice" (-1) lasts until the process ends: status checks stop while the
    // library is disabled, so a stored -1 could never be lifted again.
    std::optional<double> disabled;
    if (auto text = storedAs<std::string>(stored, 7)) disabled = readDouble(*text);
    sdkDisabledTime_ = disabled && *disabled > 0 ? *disabled : BLQConfigDefaults::sdkDisabledTime;
    sdkVersion_ = storedAs<std::string>(stored, 8);
}

void BLQConfigManager::logSetting(BLQConfigKeys k, const std::string& valueText) const {
    log("Config: Setting " + key(k) + " with value: " + valueText, BLQLoggingLevel::info);
}

template <class Field, class Stored>
void BLQConfigManager::update(Field& field, Field value, BLQConfigKeys k, const Stored& stored) {
    std::lock_guard lock(mutex_);
    field = std::move(value);
    dataStore_->setConfigSetting(key(k), stored);
}

std::shared_ptr<BLQIConfigManagerDelegate> BLQConfigManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void BLQConfigManager::setDelegate(std::shared_ptr<BLQIConfigManagerDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::optional<int64_t> BLQConfigManager::getAppId() const {
    std::lock_guard lock(mutex_);
    return appId_;
}

void BLQConfigManager::setAppId(std::optional<int64_t> appId) {
    logSetting(BLQConfigKeys::appId, appId ? std::to_string(*appId) : "nil");
    std::any stored;
    if (appId) stored = *appId;
    update(appId_, appId, BLQConfigKeys::appId, stored);
}

std::string BLQConfigManager::getAppKey() const {
    std::lock_guard lock(mutex_);
    return appKey_;
}

void BLQConfigManager::setAppKey(const std::string& appKey) {
    logSetting(BLQConfigKeys::appKey, appKey);
    update(appKey_, appKey, BLQConfigKeys::appKey, appKey);
}

std::vector<int64_t> BLQConfigManager::getDisabledUserEventCodes() const {
    std::lock_guard lock(mutex_);
    return disabledCodes_;
}

void BLQConfigManager::setDisabledUserEventCodes(const std::vector<int64_t>& codes) {
    logSetting(BLQConfigKeys::disableCodes, listText(codes));
    update(disabledCodes_, codes, BLQConfigKeys::disableCodes, codes);
}

std::optional<std::string> BLQConfigManager::getInstallToken() const {
    std::lock_guard lock(mutex_);
    return installToken_;
}

void BLQConfigManager::setInstallToken(const std::string& token) {
    logSetting(BLQConfigKeys::installToken, token);
    update(installToken_, std::optional<std::string>(token), BLQConfigKeys::installToken, token);
}

std::optional<platform::Date> BLQConfigManager::getLastAppStatusFetchTime() const {
    return dataStore_->getConfigSetting<platform::Date>(key(BLQConfigKeys::appStatusLastFetchTime));
}

void BLQConfigManager::setLastAppStatusFetchTime(platform::Date date) {
    logSetting(BLQConfigKeys::appStatusLastFetchTime, toISO8601String(date));
    dataStore_->setConfigSetting(key(BLQConfigKeys::appStatusLastFetchTime), date);
}

std::optional<platform::Date> BLQConfigManager::getLastFeedFetchTime() const {
    return dataStore_->getConfigSetting<platform::Date>(key(BLQConfigKeys::feedLastFetchTime));
}

void BLQConfigManager::setLastFeedFetchTime(platform::Date date) {
    logSetting(BLQConfigKeys::feedLastFetchTime, toISO8601String(date));
    dataStore_->setConfigSetting(key(BLQConfigKeys::feedLastFetchTime), date);
}

BLQLoggingLevel BLQConfigManager::getLogLevel() const {
    std::lock_guard lock(mutex_);
    return logLevel_;
}

void BLQConfigManager::setLogLevel(BLQLoggingLevel level) {
    logSetting(BLQConfigKeys::logLevel, levelName(level));
    // Written without a value: the next launch starts again from the default level.
    update(logLevel_, level, BLQConfigKeys::logLevel, std::string());
}

std::vector<BLQLogHandlerModel> BLQConfigManager::getLogHandlers() const {
    std::lock_guard lock(mutex_);
    return logHandlers_;
}

void BLQConfigManager::setLogHandlers(const std::vector<BLQLogHandlerModel>& handlers) {
    logSetting(BLQConfigKeys::logHandlers, listText(handlers));
    update(logHandlers_, handlers, BLQConfigKeys::logHandlers, handlers);
}

std::vector<int64_t> BLQConfigManager::getPriorityUserEventCodes() const {
    std::lock_guard lock(mutex_);
    return priorityCodes_;
}

void BLQConfigManager::setPriorityUserEventCodes(const std::vector<int64_t>& codes) {
    logSetting(BLQConfigKeys::priorityCodes, listText(codes));
    update(priorityCodes_, codes, BLQConfigKeys::priorityCodes, codes);
}

double BLQConfigManager::getSDKDisabledTime() const {
    std::lock_guard lock(mutex_);
    return sdkDisabledTime_;
}

void BLQConfigManager::setSDKDisabledTime(double time) {
    const std::string text = UtilsForAny::numberText(time);
    logSetting(BLQConfigKeys::sdkDisabledTime, text);
    update(sdkDisabledTime_, time, BLQConfigKeys::sdkDisabledTime, text);
}

std::optional<std::string> BLQConfigManager::getSDKVersion() const {
    std::lock_guard lock(mutex_);
    return sdkVersion_;
}

void BLQConfigManager::setSDKVersion(const std::string& version) {
    logSetting(BLQConfigKeys::sdkVersion, version);
    update(sdkVersion_, std::optional<std::string>(version), BLQConfigKeys::sdkVersion, version);
}

std::optional<std::string> BLQConfigManager::getSuperTagDisabledLevel() const {
    std::lock_guard lock(mutex_);
    return superTagsDisabledLevel_;
}

void BLQConfigManager::setSuperTagDisabledLevel(const std::string& level) {
    logSetting(BLQConfigKeys::superTagDisabledLevel, level);
    update(superTagsDisabledLevel_, std::optional<std::string>(level), BLQConfigKeys::superTagDisabledLevel,
           level);
}

std::optional<std::string> BLQConfigManager::getSuperTagFilter() const {
    std::lock_guard lock(mutex_);
    return superTagsFilter_;
}

void BLQConfigManager::setSuperTagFilter(const std::string& filter) {
    logSetting(BLQConfigKeys::superTagFilter, filter);
    update(superTagsFilter_, std::optional<std::string>(filter), BLQConfigKeys::superTagFilter, filter);
}

int64_t BLQConfigManager::getAppStatusPollInterval() const {
    std::lock_guard lock(mutex_);
    return appStatusPollInterval_;
}

void BLQConfigManager::setAppStatusPollInterval(int64_t seconds) {
    logSetting(BLQConfigKeys::appStatusPollInterval, std::to_string(seconds));
    // Written without a value: the next launch starts again from the default interval.
    update(appStatusPollInterval_, seconds, BLQConfigKeys::appStatusPollInterval, std::string());
}

std::string BLQConfigManager::getHost() {
    {
        std::lock_guard lock(mutex_);
        if (!currentHost_.empty()) return currentHost_;
    }
    auto stored = dataStore_->getConfigSetting<std::string>(key(BLQConfigKeys::aliveHost));
    std::string host = stored && !stored->empty() ? *stored : BLQConfigDefaults::appHost();
    {
        std::lock_guard lock(mutex_);
        if (currentHost_.empty()) currentHost_ = host;
        host = currentHost_;
    }
    // A stored host with a trailing "/" is trimmed and stored again here.
    setHost(host);
    std::lock_guard lock(mutex_);
    return currentHost_;
}

void BLQConfigManager::setHost(const std::string& host) {
    std::string newHost = host;
    if (!newHost.empty() && newHost.back() == '/') newHost.pop_back();
    // "/" alone leaves no host to talk to.
    if (newHost.empty()) return;

    std::lock_guard hold(hostChangeMutex_);
    {
        std::lock_guard lock(mutex_);
        if (equalsIgnoringCase(newHost, currentHost_)) return;
    }
    logSetting(BLQConfigKeys::aliveHost, newHost);
    update(currentHost_, newHost, BLQConfigKeys::aliveHost, newHost);
    if (auto target = delegate()) target->hostDidChange();
}

std::string BLQConfigManager::getAppStatusEndpoint(const std::string& appKey) const {
    return apiEndpoints_->getAppStatusEndpoint(appKey);
}

std::string BLQConfigManager::getFeedEndpoint() const {
    return apiEndpoints_->getFeedEndpoint();
}

std::string BLQConfigManager::getInstallsEndpoint() const {
    return apiEndpoints_->getInstallsEndpoint();
}

std::string BLQConfigManager::getLogsEndpoint() const {
    return apiEndpoints_->getLogsEndpoint();
}

std::string BLQConfigManager::getScreenshotsEndpoint() const {
    return apiEndpoints_->getScreenshotsEndpoint();
}

std::string BLQConfigManager::getTagsEndpoint() const {
    return apiEndpoints_->getTagsEndpoint();
}

std::string BLQConfigManager::getWebSocketEndpoint() const {
    return apiEndpoints_->getWebSocketEndpoint();
}

bool BLQConfigManager::checkForHostChange(const platform::Value& response,
                                          const std::optional<std::string>& fromUrl) {
    const std::string* answered = response["app_status"]["host"].getString();
    // An empty host names no server to move to.
    if (answered == nullptr || answered->empty()) return false;

    std::string compareHost;
    if (fromUrl) {
        auto url = platform::URL::fromString(*fromUrl);
        if (url && url->scheme() && url->host()) compareHost = *url->scheme() + "://" + *url->host();
    }
    if (compareHost.empty()) compareHost = getHost();

    if (equalsIgnoringCase(*answered, compareHost)) return false;
    const auto& aliasTable = BLQConfigDefaults::hostAliases();
    if (auto aliases = aliasTable.find(compareHost); aliases != aliasTable.end()) {
        const std::string lowered = lowercased(*answered);
        for (const auto& alias : aliases->second) {
            if (alias == lowered) return false;
        }
    }
    setHost(*answered);
    return true;
}

bool BLQConfigManager::isBrindlecueEnabled() const {
    const double disabledTime = getSDKDisabledTime();
    if (disabledTime == -1) return false;
    if (disabledTime > 0 && nowSinceReferenceDate() - disabledTime < 0) return false;
    return true;
}

bool BLQConfigManager::isSuperTagsEnabled(int32_t tag) const {
    auto level = getSuperTagDisabledLevel();
    if (!level) return true;
    return SuperTagStatusAdmin::isSuperTagEnabled(*level, tag == 1 ? "Click" : "View");
}

bool BLQConfigManager::isSuperTagFilterPassed(const std::string& superTag) const {
    auto filter = getSuperTagFilter();
    if (!filter) return true;
    return SuperTagStatusAdmin::isSuperTagFilterMatch(*filter, superTag);
}

void BLQConfigManager::onConfigUpdateSuccessWithResponse(const platform::Value& response) {
    log("Config: Change success with response: " + response.description(), BLQLoggingLevel::info);
}

void BLQConfigManager::onConfigUpdateFailureWithError(const platform::Error& error) {
    log("Config: Change failure with error: " + error.localizedDescription(), BLQLoggingLevel::info);
}

}  // namespace brindlecue
