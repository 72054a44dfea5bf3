#include "events/BLQUserEventDeduperManager.h"

#include <algorithm>
#include <limits>

#include "config/BLQSessionDTO.h"

namespace brindlecue {

using platform::Value;

namespace {

// The same event asked about twice (at intake and at upload, as two records with one id).
bool isSameEvent(const BLQUserEventDTO& a, const BLQUserEventDTO& b) {
    if (a.id.has_value() != b.id.has_value()) return false;
    return !a.id || *a.id == *b.id;
}

double createdOf(const BLQUserEventDTO& event) {
    return event.createdDate ? event.createdDate->timeIntervalSince1970()
                             : -std::numeric_limits<double>::infinity();
}

// A feed result repeats an earlier one only when it reports an error (its "status" detail); for
// any other no record could make it a duplicate, so none is handed over.
bool mayRepeat(const BLQUserEventDTO& event) {
    return event.code != BLQUserEventCode::feedResult || event.details["status"] == Value("error");
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
    if (!event->session) return deduper.shouldDedupe(*event, std::nullopt);
    // The event's shelf is looked up once, for the question and for remembering the event.
    const int64_t sessionId = event->session->id;
    auto session = previousRecords_.find(sessionId);
    const bool sessionKnown = session != previousRecords_.end();
    if (!sessionKnown) session = previousRecords_.emplace(sessionId, std::map<Shelf, Records>()).first;
    auto [shelved, made] = session->second.try_emplace(std::move(shelf));
    bool duplicate = deduper.shouldDedupe(
        *event, sessionKnown ? std::optional(earlierRecords(*event, made ? nullptr : &shelved->second,
                                                            deduper.twinWindow()))
                             : std::nullopt);
    remember(event, shelved->second);
    return duplicate;
}

BLQIUserEventDeduper::Records BLQUserEventDeduperManager::earlierRecords(const BLQUserEventDTO& event,
                                                                         const Records* shelved,
                                                                         std::optional<double> window) const {
    BLQIUserEventDeduper::Records earlier;
    if (shelved == nullptr || !mayRepeat(event)) return earlier;
    auto from = shelved->begin(), to = shelved->end();
    if (window) {
        // Only the records created in the deduper's window before the event.
        if (!event.createdDate) return earlier;
        const double created = createdOf(event);
        auto byTime = [](const Remembered& r, double t) { return r.created < t; };
        from = std::lower_bound(shelved->begin(), shelved->end(), created - *window, byTime);
        to = std::upper_bound(from, shelved->end(), created,
                              [](double t, const Remembered& r) { return t < r.created; });
    }
    for (auto it = from; it != to; ++it) {
        const BLQUserEventDTO& record = *it->event;
        // The status first: in a burst most records in the window were judged duplicates
        // themselves, and their ids need not be read.
        if (!mayBeTwin(record.status) || isSameEvent(record, event)) continue;
        earlier.push_back(it->event);
    }
    return earlier;
}

void BLQUserEventDeduperManager::remember(const std::shared_ptr<BLQUserEventDTO>& event, Records& records) {
    const int64_t sessionId = event->session->id;
    const double created = createdOf(*event);
    auto at = std::upper_bound(records.begin(), records.end(), created,
                               [](double t, const Remembered& r) { return t < r.created; });
    records.insert(at, Remembered{created, event});
    if (latestSessionId_ < sessionId) {
        latestSessionId_ = sessionId;
        std::erase_if(previousRecords_, [&](const auto& entry) { return entry.first < sessionId - 1; });
    }
}

}  // namespace brindlecue
