#include "storage/BLQSession.h"

#include "config/BLQSessionDTO.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQInstall.h"

namespace brindlecue {

using platform::Predicate;
using platform::PredicatePtr;

namespace {

PredicatePtr withInstall(std::vector<PredicatePtr> rest) {
    rest.insert(rest.begin(), Predicate::isNotNil("install"));
    return Predicate::andPredicate(std::move(rest));
}

}  // namespace

PredicatePtr BLQSession::findByAppKey(const std::string& appKey) {
    return withInstall({Predicate::equal("install.appKey", appKey)});
}

PredicatePtr BLQSession::findByAppId(int64_t appId) {
    return withInstall({Predicate::equal("install.appId", appId)});
}

PredicatePtr BLQSession::findOpenByAppKey(const std::string& appKey) {
    return withInstall({Predicate::equal("install.appKey", appKey), Predicate::isNil("endTime")});
}

PredicatePtr BLQSession::findOpenByAppId(int64_t appId) {
    return withInstall({Predicate::equal("install.appId", appId), Predicate::isNil("endTime")});
}

PredicatePtr BLQSession::findOpenBySessionId(int64_t sessionId, const std::string& appKey) {
    return withInstall({Predicate::equal("install.appKey", appKey), Predicate::equal("id", sessionId),
                        Predicate::isNil("endTime")});
}

PredicatePtr BLQSession::findOpenBySessionId(int64_t sessionId, int64_t appId) {
    return withInstall({Predicate::equal("install.appId", appId), Predicate::equal("id", sessionId),
                        Predicate::isNil("endTime")});
}

PredicatePtr BLQSession::findOpenBySessionIdInstallId(int64_t sessionId, const std::string& installId) {
    return withInstall({Predicate::equal("install.installId", installId), Predicate::equal("id", sessionId),
                        Predicate::isNil("endTime")});
}

PredicatePtr BLQSession::findBySessionId(int64_t sessionId, const std::string& appKey) {
    return withInstall({Predicate::equal("install.appKey", appKey), Predicate::equal("id", sessionId)});
}

void BLQSession::awakeFromInsert() {
    BLQAuditableObject::awakeFromInsert();
    setValue("id", nextPrimaryKey());
    setValue("startTime", platform::Date::now());
}

int64_t BLQSession::nextPrimaryKey() const {
    auto context = managedObjectContext();
    if (!context) return 1;
    auto request = fetchRequest();
    request.setSortDescriptors({{"id", false}});
    request.setFetchLimit(1);
    // Runs at once when called on the context's queue, as it is from an insertion.
    auto found = context->performAndWait([&] { return context->fetch(request); });
    if (!found || found->empty()) return 1;
    return (*found)[0]->integerValue("id").value_or(0) + 1;
}

std::shared_ptr<BLQSessionDTO> BLQSession::toDTO() const {
    auto install = relatedObject<BLQInstall>("install");
    // The record leaves the session's events out: reading them would read every event of the
    // session at each lookup of the open session (one per recorded event), and no user of the
    // record looks at them.
    return std::make_shared<BLQSessionDTO>(id(), startTime(), endTime(), install ? install->toDTO() : nullptr,
                                           std::nullopt);
}

void BLQSession::updateFromDTO(const BLQSessionDTO& dto) {
    setValue("id", dto.id);
    setValue("startTime", dto.startTime);
    setValue("endTime", dto.endTime);
}

}  // namespace brindlecue
