#include "presentation/KJFeedbackManager.h"

#include "config/BLQAppDetailsProvider.h"
#include "feed/KJTipFeedbackElement.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQViewUtils.h"
#include "network/KJJSONSessionManager.h"
#include "platform/Date.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQCustomGuideLink.h"
#include "tags/BLQITagManager.h"
#include "uikit-support/KJMBProgressHUD.h"

namespace brindlecue {

using platform::Value;

namespace {

constexpr const char* kErrorDomain = "KJErrorDomain";
constexpr const char* kFeedbacksPath = "feedbacks";
constexpr int64_t kHostVersion = 3;
constexpr double kThanksSeconds = 1.5;

std::optional<platform::URLRequest> requestOf(const std::shared_ptr<platform::URLSessionTask>& task) {
    return task ? task->currentRequest() : std::nullopt;
}

// On the caller's view while it is on screen (a tip that has moved on took its view away), else
// on the present window.
void showThanks(const std::weak_ptr<platform::UIView>& thanksView) {
    std::shared_ptr<platform::UIView> host = thanksView.lock();
    if (!host || !host->window()) host = blqGetPresentWindow();
    if (!host) return;
    auto hud = KJMBProgressHUD::showHUDAddedTo(host, true);
    hud->setMode(KJMBProgressHUDDisplayMode::textMode);
    hud->label()->setText(blqLocalizedString(KJFeedbackManager::kThanksKey, KJFeedbackManager::kThanksDefault));
    hud->hideAnimated(true, kThanksSeconds);
}

}  // namespace

KJFeedbackManager& KJFeedbackManager::shared() {
    static auto* manager = new KJFeedbackManager();  // lives for the process
    return *manager;
}

platform::Dictionary KJFeedbackManager::getExtraJsonForFeedback(
    const std::shared_ptr<KJTipFeedbackElement>& feedback) const {
    platform::Dictionary tags;
    auto tagManager = BLQCustomGuideLink::tagManager();
    if (!feedback || !feedback->customTagsList || !tagManager) return tags;
    for (const std::string& key : *feedback->customTagsList) {
        std::string value = tagManager->getTagValueWithKey(key);
        if (!value.empty()) tags.set(key, value);
    }
    return tags;
}

void KJFeedbackManager::submitFeedbackWithTitle(const std::optional<std::string>& title, int64_t type,
                                                const std::optional<std::string>& content,
                                                const std::optional<std::string>& campaignId,
                                                const std::optional<std::string>& feedId, int64_t stepId,
                                                const platform::Dictionary& extraJson,
                                                BLQIOperations::FeedbackHandler handler,
                                                std::weak_ptr<platform::UIView> thanksView) {
    BLQAppDetailsProvider details;
    std::string installId = details.installId().value_or("");
    if (installId.empty()) {
        platform::Error error = platform::Error::withDescription(kErrorDomain, 0, kNoInstallMessage);
        blqPresentErrorAlertOrLog(error);
        if (handler) handler(std::nullopt, error);
        return;
    }

    Value record = Value::dictionary({
        {"anonymous", "no"},
        {"app_key", details.appKey().value_or("")},
        {"campaignid", campaignId.value_or("")},
        {"contents", content.value_or("")},
        {"extra_json", Value(extraJson)},
        {"feedback_type", type},
        {"feedid", feedId.value_or("")},
        {"installid", installId},
        {"created_on_client", blqFormatDate(platform::Date::now())},
        {"step_id", stepId},
        {"title", title.value_or("")},
    });
    KJJSONSessionManager::sharedInstance()->POST(
        kFeedbacksPath, kHostVersion, record,
        [handler, thanksView](const std::shared_ptr<platform::URLSessionTask>& task, const Value&) {
            platform::DispatchQueue::main()->async([thanksView] { showThanks(thanksView); });
            if (handler) handler(requestOf(task), std::nullopt);
        },
        [handler](const std::shared_ptr<platform::URLSessionTask>& task, const platform::Error& error) {
            blqPresentErrorAlertOrLog(error);
            if (handler) handler(requestOf(task), error);
        });
}

}  // namespace brindlecue
