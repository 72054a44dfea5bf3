#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "events/BLQIUserEventDeduper.h"
#include "events/BLQIUserEventDeduperManager.h"

namespace brindlecue {

// Remembers every event it is asked about (for the latest session and the one before it, in
// process memory) and asks the deduper of the event's code whether the event repeats one of the
// remembered events: of the same session and code, not the event itself (same id, or both
// without one), unsent, being sent or sent, and created in the deduper's window before it (up to
// 1.0 s; any time for a deduper without one). An event of a code without a deduper is neither
// judged nor remembered.
//
// Asked from the store's queue and the upload queue at once: the memory is guarded. It keeps a
// session's records apart by code and the deduper's twin key, each shelf in creation order, so
// that a question reads only the records that can matter: for a deduper with a window only those
// created in it; for one without (the feed-result deduper compares texts, whenever they were
// made) the whole shelf of the code, and only when the event reports an error, as no other feed
// result can be a duplicate.
class BLQUserEventDeduperManager final : public BLQIUserEventDeduperManager {
public:
    // A later deduper of a code replaces an earlier one.
    explicit BLQUserEventDeduperManager(std::vector<std::shared_ptr<BLQIUserEventDeduper>> dedupers);

    bool shouldDedupe(const std::shared_ptr<BLQUserEventDTO>& event) override;

    // The highest session id seen.
    int64_t latestSessionId() const;
    // How many records are remembered for the session.
    size_t rememberedCount(int64_t sessionId) const;

private:
    struct Remembered {
        double created;  // seconds since 1970; -infinity without a creation date
        std::shared_ptr<BLQUserEventDTO> event;
    };
    struct Shelf {
        BLQUserEventCode code;
        std::optional<std::string> twinKey;
        auto operator<=>(const Shelf&) const = default;
    };
    using Records = std::vector<Remembered>;  // ascending creation time

    // The records of the shelf (none when it was just made) the deduper is to compare the event with.
    BLQIUserEventDeduper::Records earlierRecords(const BLQUserEventDTO& event, const Records* shelved,
                                                 std::optional<double> window) const;
    // Adds the event (which has a session) to its shelf, in creation order.
    void remember(const std::shared_ptr<BLQUserEventDTO>& event, Records& records);

    mutable std::mutex mutex_;
    std::map<int64_t, std::map<Shelf, Records>> previousRecords_;
    int64_t latestSessionId_ = 0;
    const std::vector<std::shared_ptr<BLQIUserEventDeduper>> dedupers_;
    std::map<BLQUserEventCode, std::shared_ptr<BLQIUserEventDeduper>> dedupersMap_;
};

}  // namespace brindlecue
