#pragma once

#include "events/BLQIUserEventDeduper.h"

namespace brindlecue {

// A feed result (8201) that reports the status "error" repeats a remembered one of its session,
// however long before, whose comparable text is more than 90 % similar to its own. The
// comparable text is the record's document without "log_id", "session", "session_id",
// "blq_version", "qx_version" and "code", as JSON with sorted keys; a record without one scores 0.
class BLQTargetNotFoundDeduper final : public BLQIUserEventDeduper {
public:
    static constexpr int64_t kSimilarityThreshold = 90;

    BLQUserEventCode getCode() const override { return BLQUserEventCode::feedResult; }
    std::optional<double> twinWindow() const override { return std::nullopt; }
    bool shouldDedupe(const BLQUserEventDTO& event,
                      const std::optional<Records>& previousRecords) const override;

    static std::optional<std::string> comparableText(const BLQUserEventDTO& record);
};

}  // namespace brindlecue
