#include "facade/BLQAppStatusManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "facade/BLQFacadeLink.h"
#include "foundation/UtilsForAny.h"
#include "platform/Date.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/Timer.h"

namespace brindlecue {

namespace {

// At least one fractional digit: 1.0, 2.0, 2.5.
std::string intervalText(double seconds) {
    if (std::isfinite(seconds) && seconds == std::trunc(seconds) && std::fabs(seconds) < 1e15) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", seconds);
        return buffer;
    }
    return UtilsForAny::numberText(seconds);
}

}  // namespace

std::shared_ptr<BLQAppStatusManager> BLQAppStatusManager::create(
    std::shared_ptr<const BLQIAppStatusManagerDependencies> dependencies) {
    auto manager = std::make_shared<BLQAppStatusManager>(Token{}, std::move(dependencies));
    manager->schedulePoll(manager->timeInterval());
    return manager;
}

BLQAppStatusManager::BLQAppStatusManager(Token,
                                         std::shared_ptr<const BLQIAppStatusManagerDependencies> dependencies)
    : dependencies_(std::move(dependencies)),
      queue_(platform::DispatchQueue::serial(kQueueLabel)),
      timeInterval_(static_cast<double>(BLQAppStatusIntSettings::defaultInterval)) {}

std::shared_ptr<BLQIAppStatusDelegate> BLQAppStatusManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void BLQAppStatusManager::setDelegate(std::shared_ptr<BLQIAppStatusDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

double BLQAppStatusManager::timeInterval() const {
    std::lock_guard lock(mutex_);
    return timeInterval_;
}

void BLQAppStatusManager::shouldCheckForAppStatus() {
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->check();
    });
}

void BLQAppStatusManager::shouldCheckForAppStatusFromTimer(platform::Timer&) {
    shouldCheckForAppStatus();
}

void BLQAppStatusManager::check() {
    log("AppStatus: Checking if should request App Status", BLQLoggingLevel::info);
    const auto config = dependencies_->config();
    auto target = delegate();
    bool allowed = false;
    if (!target || !target->hasValidInstall()) {
        log("AppStatus: No valid install found, aborting app status", BLQLoggingLevel::info);
    } else if (!config->isBrindlecueEnabled()) {
        log("AppStatus: SDK is disabled, aborting app status", BLQLoggingLevel::info);
    } else {
        allowed = true;
    }

    double interval = timeInterval();
    if (allowed) {
        const bool inPreviewMode = BLQFacadeLink::isInPreviewMode();
        log("AppStatus: Polling app status with interval: " + intervalText(interval), BLQLoggingLevel::info);
        dependencies_->fetcher()->fetchAppStatus(config->getHost(), dependencies_->handler());

        if (inPreviewMode) {
            interval = kPreviewModeInterval;
        } else {
            const double doubled = interval >= 1.0 ? 2 * interval : 1.0;
            const double cap = static_cast<double>(config->getAppStatusPollInterval());
            interval = doubled < cap ? doubled : cap;
        }
        // A poll interval of 0 or less from the server would otherwise poll without pause.
        interval = std::max(interval, kMinimumInterval);
        std::lock_guard lock(mutex_);
        timeInterval_ = interval;
    }
    schedulePoll(interval);
}

void BLQAppStatusManager::schedulePoll(double interval) {
    platform::DispatchQueue::main()->async([weak = weak_from_this(), interval] {
        auto self = weak.lock();
        if (!self) return;
        auto timer = platform::Timer::scheduled(interval, false, [weak](platform::Timer& fired) {
            if (auto manager = weak.lock()) manager->shouldCheckForAppStatusFromTimer(fired);
        });
        std::shared_ptr<platform::Timer> replaced;
        {
            std::lock_guard lock(self->mutex_);
            replaced = std::exchange(self->pollTimer_, timer);
        }
        if (replaced) replaced->invalidate();
    });
}

void BLQAppStatusManager::updateAppStatusModel(const BLQAppStatusModel& model) {
    const auto config = dependencies_->config();
    if (model.disabledTimeInSeconds) config->setSDKDisabledTime(*model.disabledTimeInSeconds);
    if (model.superTagsDisabledLevel && !model.superTagsDisabledLevel->empty())
        config->setSuperTagDisabledLevel(*model.superTagsDisabledLevel);
    if (model.superTagsFilter && !model.superTagsFilter->empty())
        config->setSuperTagFilter(*model.superTagsFilter);
    if (model.appStatusPollInterval) config->setAppStatusPollInterval(*model.appStatusPollInterval);
    if (model.logHandlers) config->setLogHandlers(*model.logHandlers);
    if (model.feedUpdatedTimeStamp && !model.feedUpdatedTimeStamp->empty()) {
        if (auto target = delegate()) target->onFeedTimeStampUpdated(*model.feedUpdatedTimeStamp);
    }
    // The one value that an absent key clears.
    config->setDisabledUserEventCodes(model.disabledUserEventCodes.value_or(std::vector<int64_t>{}));
    if (model.priorityUserEventCodes) config->setPriorityUserEventCodes(*model.priorityUserEventCodes);
    if (model.host && !model.host->empty()) config->setHost(*model.host);
    if (model.logLevel) {
        if (auto level = BLQLoggingLevelFromRawValue(*model.logLevel)) config->setLogLevel(*level);
    }
    config->setLastAppStatusFetchTime(platform::Date::now());
    if (auto target = delegate()) target->onAppStatusUpdated(model);
}

}  // namespace brindlecue
