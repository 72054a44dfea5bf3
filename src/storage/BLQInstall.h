#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"
#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

class BLQInstallDTO;

// The stored install (entity "Install"): its id, the app key it was registered with, the
// versions and device facts sent at registration, and whether the server accepted it.
class BLQInstall : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "Install";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // "appKey == %@", "appId == %ld", "installId == %@".
    static platform::PredicatePtr findByAppKey(const std::string& appKey);
    static platform::PredicatePtr findByAppId(int64_t appId);
    static platform::PredicatePtr findByInstallId(const std::string& installId);

    // The creation date, a fresh lower-case UUID as install id, not registered with the server.
    void awakeFromInsert() override;

    // Every value copied unchanged; the relationships handed over as their objects.
    std::shared_ptr<BLQInstallDTO> toDTO() const;
    // Copies the thirteen plain values (absent clears); relationships are not touched.
    void updateFromDTO(const BLQInstallDTO& dto);
    // The stored install's own dictionary form (not the server's install document).
    platform::Value asDictionary() const;

    std::optional<std::string> installId() const { return stringValue("installId"); }
    std::optional<std::string> appKey() const { return stringValue("appKey"); }
    void setAppKey(const std::optional<std::string>& appKey) { setValue("appKey", appKey); }
};

}  // namespace brindlecue
