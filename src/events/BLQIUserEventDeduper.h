#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/BLQUserEventCode.h"
#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

// Judges whether a new event of one code repeats an earlier one closely enough to be dropped.
// Unless its deduper says otherwise (twinWindow), a twin is an earlier event: one created 0 to
// kTwinWindow seconds before the new one.
class BLQIUserEventDeduper {
public:
    using Records = std::vector<std::shared_ptr<BLQUserEventDTO>>;

    static constexpr double kTwinWindow = 1.0;

    virtual ~BLQIUserEventDeduper() = default;

    // The one code it judges.
    virtual BLQUserEventCode getCode() const = 0;
    // Whether the event is a duplicate of one of the earlier comparable records (none: no record).
    virtual bool shouldDedupe(const BLQUserEventDTO& event,
                              const std::optional<Records>& previousRecords) const = 0;
    // What an event and its twin must have in common (a page's name, a tag's key and value), so
    // that the deduper manager keeps records apart by it and asks only about possible twins; none
    // when every record of the code may be one.
    virtual std::optional<std::string> twinKey(const BLQUserEventDTO& event) const { return std::nullopt; }
    // How long before an event its twins were created, in seconds; none when any remembered
    // record may be one, whenever it was created.
    virtual std::optional<double> twinWindow() const { return kTwinWindow; }

    // Whether the record was created 0 to kTwinWindow seconds before the event; false when
    // either has no creation date.
    static bool isWithinTwinWindow(const BLQUserEventDTO& event, const BLQUserEventDTO& record);
};

}  // namespace brindlecue
