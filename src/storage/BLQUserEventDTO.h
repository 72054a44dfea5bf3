#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/Value.h"
#include "storage/BLQUserEventCode.h"
#include "storage/BLQUserEventStatus.h"

namespace brindlecue {

class BLQTagDTO;
class BLQSessionDTO;

// One user event. Shared by reference: the pipeline's holders see each other's status changes,
// which is why the status alone may be changed while other queues read the record.
class BLQUserEventDTO {
public:
    BLQUserEventDTO(std::optional<std::string> id, BLQUserEventCode code, platform::Value details,
                    std::optional<std::string> message, BLQUserEventStatus status, std::shared_ptr<BLQTagDTO> tag,
                    std::shared_ptr<BLQSessionDTO> session, std::optional<std::string> sdkVersion,
                    std::optional<platform::Date> createdDate, std::optional<platform::Date> modifiedDate);

    // The JSON document of the upload, as a dictionary value: "log_id", "code",
    // "created_on_client", "blq_version", "qx_version", then "modified" and "session_id" when
    // known, the tag members ("key" and its value) of tag events, "string" (the message)
    // for page events, and the details under "result", "content" or "details" (or "start",
    // "end", "length" for the session-complete event). The status is never part of it.
    platform::Value encode() const;
    // The document written as JSON and read back; none when either step fails.
    std::optional<platform::Value> toDictionary() const;

    std::optional<std::string> id;
    BLQUserEventCode code;
    // A dictionary with text keys, or absent.
    platform::Value details;
    std::optional<std::string> message;
    BLQUserEventStatusField status;
    std::shared_ptr<BLQTagDTO> tag;
    std::shared_ptr<BLQSessionDTO> session;
    std::optional<std::string> sdkVersion;
    std::optional<platform::Date> createdDate;
    std::optional<platform::Date> modifiedDate;
};

}  // namespace brindlecue
