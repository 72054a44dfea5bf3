#include "storage/BLQInstall.h"

#include "config/BLQInstallDTO.h"
#include "foundation/DateExtensions.h"
#include "platform/Crypto.h"

namespace brindlecue {

using platform::Predicate;
using platform::PredicatePtr;
using platform::Value;

namespace {

// The app id and app key the install's own dictionary falls back on.
constexpr int64_t kDictionaryAppId = 417263;
constexpr const char* kDefaultAppKey = "Harbor_lanternfly";

}  // namespace

PredicatePtr BLQInstall::findByAppKey(const std::string& appKey) {
    return Predicate::equal("appKey", appKey);
}

PredicatePtr BLQInstall::findByAppId(int64_t appId) {
    return Predicate::equal("appId", appId);
}

PredicatePtr BLQInstall::findByInstallId(const std::string& installId) {
    return Predicate::equal("installId", installId);
}

void BLQInstall::awakeFromInsert() {
    BLQAuditableObject::awakeFromInsert();
    setValue("installId", platform::Crypto::lowercaseUUIDString());
    setValue("isRegisteredWithServer", false);
}

std::shared_ptr<BLQInstallDTO> BLQInstall::toDTO() const {
    return std::make_shared<BLQInstallDTO>(
        installId(), integerValue("appId"), appKey(), stringValue("sdkVersion"),
        stringValue("clientAppVersion"), stringValue("carrier"), stringValue("model"),
        stringValue("platform"), stringValue("osVersion"), dateValue("registrationDate"), createdDate(),
        modifiedDate(),
        // The install's sessions, tags and feeds are left out: reading them would read every one
        // of them at each lookup of an install or a session (one per recorded user event), and
        // no user of the record looks at them.
        boolValue("isRegisteredWithServer").value_or(false), std::nullopt, std::nullopt, std::nullopt);
}

void BLQInstall::updateFromDTO(const BLQInstallDTO& dto) {
    setValue("installId", dto.installId);
    setValue("appId", dto.appId);
    setValue("appKey", dto.appKey);
    setValue("sdkVersion", dto.sdkVersion);
    setValue("clientAppVersion", dto.clientAppVersion);
    setValue("carrier", dto.carrier);
    setValue("model", dto.model);
    setValue("platform", dto.platform);
    setValue("osVersion", dto.osVersion);
    setValue("registrationDate", dto.registrationDate);
    setCreatedDate(dto.createdDate);
    setModifiedDate(dto.modifiedDate);
    setValue("isRegisteredWithServer", dto.isRegisteredWithServer);
}

Value BLQInstall::asDictionary() const {
    auto dateText = [](const std::optional<platform::Date>& d) { return d ? toISO8601String(*d) : std::string(); };
    Value dictionary = Value::dictionary();
    dictionary.set("id", installId().value_or(""));
    dictionary.set("app_id", kDictionaryAppId);
    dictionary.set("app_key", appKey().value_or(kDefaultAppKey));
    dictionary.set("created", dateText(createdDate()));
    dictionary.set("modified", dateText(modifiedDate()));
    dictionary.set("operating_system", "ios");
    dictionary.set("development_platform", stringValue("platform").value_or(""));
    dictionary.set("client_version", stringValue("clientAppVersion").value_or(""));
    dictionary.set("blq_version", stringValue("sdkVersion").value_or(""));
    return dictionary;
}

}  // namespace brindlecue
