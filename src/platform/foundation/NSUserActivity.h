#pragma once

#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// A user activity the system hands the app to continue: a web page the user browsed (type
// NSUserActivityTypeBrowsingWeb, with its URL) or a searchable item the user picked (its
// identifier under "kCSSearchableItemActivityIdentifier" in the user info).
class NSUserActivity {
public:
    static constexpr const char* NSUserActivityTypeBrowsingWeb = "NSUserActivityTypeBrowsingWeb";
    static constexpr const char* CSSearchableItemActionType = "com.apple.corespotlightitem";
    static constexpr const char* CSSearchableItemActivityIdentifier = "kCSSearchableItemActivityIdentifier";

    explicit NSUserActivity(std::string activityType) : activityType_(std::move(activityType)) {}

    const std::string& activityType() const { return activityType_; }
    const std::optional<std::string>& webpageURL() const { return webpageURL_; }
    void setWebpageURL(std::optional<std::string> url) { webpageURL_ = std::move(url); }
    const Value& userInfo() const { return userInfo_; }
    void setUserInfo(Value userInfo) { userInfo_ = std::move(userInfo); }

private:
    std::string activityType_;
    std::optional<std::string> webpageURL_;
    Value userInfo_;
};

}  // namespace brindlecue::platform
