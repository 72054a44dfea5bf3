#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class ManagedObject;
}

// The in-memory install record: this app installation as the server knows it and as the install
// store keeps it. Shared by reference; fields are read and written directly, without checks.
class BLQInstallDTO {
public:
    // Spelled out here because the field `platform` hides the namespace inside the class.
    using Date = ::brindlecue::platform::Date;
    using Value = ::brindlecue::platform::Value;
    // The stored install's related objects, handed over as the store holds them.
    using ObjectSet = std::optional<std::vector<std::shared_ptr<::brindlecue::platform::ManagedObject>>>;

    BLQInstallDTO(std::optional<std::string> installId, std::optional<int64_t> appId,
                  std::optional<std::string> appKey, std::optional<std::string> sdkVersion,
                  std::optional<std::string> clientAppVersion, std::optional<std::string> carrier,
                  std::optional<std::string> model, std::optional<std::string> platform,
                  std::optional<std::string> osVersion, std::optional<Date> registrationDate,
                  std::optional<Date> createdDate, std::optional<Date> modifiedDate,
                  bool isRegisteredWithServer, ObjectSet sessions, ObjectSet tags, ObjectSet feeds);

    // The install document, the body of the registration POST and the update PATCH: "id" and
    // "app_key" (null when absent), "created" and "modified" as ISO-8601 text, "operating_system"
    // ("ios"), "development_platform", "client_version", "carrier_name", "model", "blq_version" and
    // "qx_version" (both the library version); every other missing text is "".
    Value asDictionary() const;

    std::optional<std::string> installId;
    std::optional<int64_t> appId;
    std::optional<std::string> appKey;
    std::optional<std::string> sdkVersion;
    std::optional<std::string> clientAppVersion;
    std::optional<std::string> carrier;
    std::optional<std::string> model;
    std::optional<std::string> platform;
    std::optional<std::string> osVersion;
    std::optional<Date> registrationDate;
    std::optional<Date> createdDate;
    std::optional<Date> modifiedDate;
    bool isRegisteredWithServer = false;
    ObjectSet sessions;
    ObjectSet tags;
    ObjectSet feeds;
};

}  // namespace brindlecue
