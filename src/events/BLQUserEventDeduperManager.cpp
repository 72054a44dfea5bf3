#include "events/BLQUserEventDeduperManager.h"

#include <algorithm>

#include "facade/BLQSessionDTO.h"

namespace brindlecue {

namespace {

// The same event asked about twice (at intake and at upload, as two records with one id).
bool isSameEvent(const BLQUserEventDTO& a, const BLQUserEventDTO& b) {
    if (a.id.has_value() != b.id.has_value()) return false;
    return !a.id || *a.id == *b.id;
}

bool mayBeTwin(BLQUserEventStatus status) {
    return status == BLQUserEventStatus::unsent || status == BLQUserEventStatus::sending ||
           status == BLQUserEventStatus::sent;
}

}  // namespace

BLQUserEventDeduperManager::BLQUserEventDeduperManager(
    std::vector<std::shared_ptr<BLQIUserEventDeduper>> dedupers)
    : dedupers_(std::move(dedupers)) {
    for (const auto& deduper : dedupers_)
        if (deduper) dedupersMap_[deduper->getCode()] = deduper;
}

int64_t BLQUserEventDeduperManager::latestSessionId() const {
    std::lock_guard lock(mutex_);
    return latestSessionId_;
}

size_t BLQUserEventDeduperManager::rememberedCount(int64_t sessionId) const {
    std::lock_guard lock(mutex_);
    auto session = previousRecords_.find(sessionId);
    if (session == previousRecords_.end()) return 0;
    size_t count = 0;
    for (const auto& [shelf, records] : session->second) count += records.size();
    return count;
}

bool BLQUserEventDeduperManager::shouldDedupe(const std::shared_ptr<BLQUserEventDTO>& event) {
    if (!event) return false;
    std::lock_guard lock(mutex_);
    auto found = dedupersMap_.find(event->code);
    if (found == dedupersMap_.end()) return false;
    const BLQIUserEventDeduper& deduper = *found->second;
    Shelf shelf{event->code, deduper.twinKey(*event)};
    bool duplicate = deduper.shouldDedupe(*event, earlierRecords(*event, shelf, deduper.twinWindow()));
    remember(event, shelf);
    return duplicate;
}

std::optional<BLQIUserEventDeduper::Records> BLQUserEventDeduperManager::earlierRecords(
    const BLQUserEventDTO& event, const Shelf& shelf, std::optional<double> window) const {
    if (!event.session) return std::nullopt;
    auto session = previousRecords_.find(event.session->id);
    if (session == previousRecords_.end()) return std::nullopt;
    BLQIUserEventDeduper::Records earlier;
    auto records = session->second.find(shelf);
    if (records == session->second.end()) return earlier;
    auto from = records->second.begin();
    auto to = records->second.end();
    if (window) {
        // Only the records created in the window before the event.
        if (!event.createdDate) return earlier;
        const double created = event.createdDate->timeIntervalSince1970();
        auto byTime = [](const Remembered& r, double t) { return r.created < t; };
        from = std::lower_bound(from, to, created - *window, byTime);
        to = std::upper_bound(from, to, created, [](double t, const Remembered& r) { return t < r.created; });
    }
    for (auto it = from; it != to; ++it) {
        const BLQUserEventDTO& record = *it->event;
        if (isSameEvent(record, event) || !mayBeTwin(record.status)) continue;
        earlier.push_back(it->event);
    }
    return earlier;
}

void BLQUserEventDeduperManager::remember(const std::shared_ptr<BLQUserEventDTO>& event, const Shelf& shelf) {
    if (!event->session) return;
    const int64_t sessionId = event->session->id;
    // A record without a creation date is nobody's twin: only the session id counts.
    if (event->createdDate) {
        Records& records = previousRecords_[sessionId][shelf];
        const double created = event->createdDate->timeIntervalSince1970();
        auto at = std::upper_bound(records.begin(), records.end(), created,
                                   [](double t, const Remembered& r) { return t < r.created; });
        records.insert(at, Remembered{created, event});
    }
    if (latestSessionId_ < sessionId) {
        latestSessionId_ = sessionId;
        std::erase_if(previousRecords_, [&](const auto& entry) { return entry.first < sessionId - 1; });
    }
}

}  // namespace brindlecue
