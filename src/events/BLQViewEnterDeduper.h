#pragma once

#include "events/BLQIUserEventDeduper.h"

namespace brindlecue {

// A page event repeats an earlier one of the same code and page name (two absent names are the
// same name) created up to 1.0 s before it.
class BLQPageEventDeduper : public BLQIUserEventDeduper {
public:
    explicit BLQPageEventDeduper(BLQUserEventCode code) : code_(code) {}

    BLQUserEventCode getCode() const override { return code_; }
    bool shouldDedupe(const BLQUserEventDTO& event,
                      const std::optional<Records>& previousRecords) const override;
    std::optional<std::string> twinKey(const BLQUserEventDTO& event) const override;

private:
    BLQUserEventCode code_;
};

// Page enter (8108).
class BLQViewEnterDeduper final : public BLQPageEventDeduper {
public:
    BLQViewEnterDeduper() : BLQPageEventDeduper(BLQUserEventCode::pageEnter) {}
};

// Page exit (8109).
class BLQViewExitDeduper final : public BLQPageEventDeduper {
public:
    BLQViewExitDeduper() : BLQPageEventDeduper(BLQUserEventCode::pageExit) {}
};

}  // namespace brindlecue
