#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Date.h"

namespace brindlecue {

namespace platform {
class ManagedObject;
}

class BLQInstallDTO;

// One session as the session store hands it out: its number, its start and end (absent while
// the session is open), its install and the stored session's user-event objects. Shared by
// reference.
class BLQSessionDTO {
public:
    using ObjectSet = std::optional<std::vector<std::shared_ptr<platform::ManagedObject>>>;

    BLQSessionDTO(int64_t id, std::optional<platform::Date> startTime, std::optional<platform::Date> endTime,
                  std::shared_ptr<BLQInstallDTO> install, ObjectSet userEvents)
        : id(id),
          startTime(startTime),
          endTime(endTime),
          install(std::move(install)),
          userEvents(std::move(userEvents)) {}

    bool isOpen() const { return !endTime.has_value(); }

    int64_t id;
    std::optional<platform::Date> startTime;
    std::optional<platform::Date> endTime;
    std::shared_ptr<BLQInstallDTO> install;
    ObjectSet userEvents;
};

}  // namespace brindlecue
