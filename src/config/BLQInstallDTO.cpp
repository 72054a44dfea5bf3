#include "config/BLQInstallDTO.h"

#include <utility>

#include "foundation/DateExtensions.h"

namespace brindlecue {

using platform::Value;

BLQInstallDTO::BLQInstallDTO(std::optional<std::string> installId, std::optional<int64_t> appId,
                             std::optional<std::string> appKey, std::optional<std::string> sdkVersion,
                             std::optional<std::string> clientAppVersion, std::optional<std::string> carrier,
                             std::optional<std::string> model, std::optional<std::string> platform,
                             std::optional<std::string> osVersion,
                             std::optional<Date> registrationDate,
                             std::optional<Date> createdDate,
                             std::optional<Date> modifiedDate, bool isRegisteredWithServer,
                             ObjectSet sessions, ObjectSet tags, ObjectSet feeds)
    : installId(std::move(installId)),
      appId(appId),
      appKey(std::move(appKey)),
      sdkVersion(std::move(sdkVersion)),
      clientAppVersion(std::move(clientAppVersion)),
      carrier(std::move(carrier)),
      model(std::move(model)),
      platform(std::move(platform)),
      osVersion(std::move(osVersion)),
      registrationDate(registrationDate),
      createdDate(createdDate),
      modifiedDate(modifiedDate),
      isRegisteredWithServer(isRegisteredWithServer),
      sessions(std::move(sessions)),
      tags(std::move(tags)),
      feeds(std::move(feeds)) {}

Value BLQInstallDTO::asDictionary() const {
    auto textOrNull = [](const std::optional<std::string>& s) { return s ? Value(*s) : Value::null(); };
    auto textOrEmpty = [](const std::optional<std::string>& s) { return Value(s.value_or("")); };
    auto dateText = [](const std::optional<Date>& d) {
        return Value(d ? toISO8601String(*d) : std::string());
    };
    Value document = Value::dictionary();
    document.set("id", textOrNull(installId));
    document.set("app_key", textOrNull(appKey));
    document.set("created", dateText(createdDate));
    document.set("modified", dateText(modifiedDate));
    document.set("operating_system", "ios");
    document.set("development_platform", textOrEmpty(platform));
    document.set("client_version", textOrEmpty(clientAppVersion));
    document.set("carrier_name", textOrEmpty(carrier));
    document.set("model", textOrEmpty(model));
    document.set("blq_version", textOrEmpty(sdkVersion));
    document.set("qx_version", textOrEmpty(sdkVersion));
    return document;
}

}  // namespace brindlecue
