#include "storage/BLQUserEvent.h"

#include "config/BLQInstallDTO.h"
#include "config/BLQSessionDTO.h"
#include "platform/Crypto.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQSession.h"
#include "storage/BLQTag.h"
#include "storage/BLQTagDTO.h"
#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

using platform::Predicate;
using platform::PredicatePtr;
using platform::Value;

namespace {

// The names of the values an event is read and written by, found in the entity once.
constinit const platform::ManagedObjectKey kCode{"code"}, kDetails{"details"}, kMessage{"message"},
    kStatus{"status"}, kSdkVersion{"sdkVersion"}, kTagKey{"tagKey"}, kTagValue{"tagValue"}, kTag{"tag"},
    kSession{"session"};

}  // namespace

PredicatePtr BLQUserEvent::findById(const std::string& id) {
    return Predicate::equal("id", id);
}

PredicatePtr BLQUserEvent::findUnsent() {
    return findByStatus(BLQUserEventStatus::unsent);
}

PredicatePtr BLQUserEvent::findByStatus(BLQUserEventStatus status) {
    return Predicate::andPredicate(
        {Predicate::isNotNil("session"), Predicate::equal("status", rawValue(status))});
}

PredicatePtr BLQUserEvent::findByMissingSession() {
    return Predicate::isNil("session");
}

void BLQUserEvent::awakeFromInsert() {
    BLQAuditableObject::awakeFromInsert();
    setValue(kId, platform::Crypto::lowercaseUUIDString());
    setValue(kStatus, rawValue(BLQUserEventStatus::unsent));
}

std::shared_ptr<BLQUserEventDTO> BLQUserEvent::toDTO() const {
    auto code =
        BLQUserEventCodeFromRawValue(integerValue(kCode).value_or(0)).value_or(BLQUserEventCode::unspecified);
    auto status = BLQUserEventStatusFromRawValue(integerValue(kStatus).value_or(0))
                      .value_or(BLQUserEventStatus::unsent);
    Value details = value(kDetails);
    if (!details.isDictionary()) details = Value();
    std::shared_ptr<BLQTagDTO> tag;
    if (auto key = stringValue(kTagKey)) {
        tag = std::make_shared<BLQTagDTO>(std::move(*key), stringValue(kTagValue).value_or(""));
    } else if (auto linked = relatedObject<BLQTag>(kTag)) {
        tag = linked->toDTO();
    }
    auto session = relatedObject<BLQSession>(kSession);
    return std::make_shared<BLQUserEventDTO>(id(), code, std::move(details), stringValue(kMessage), status,
                                             std::move(tag), session ? session->toDTO() : nullptr,
                                             stringValue(kSdkVersion), createdDate(), modifiedDate());
}

void BLQUserEvent::keepValuesOfTag(const std::shared_ptr<BLQTag>& tag) {
    auto context = tag ? tag->managedObjectContext() : nullptr;
    if (!context) return;
    // Only the events that lack their own values are read, by the index of the link.
    auto request = fetchRequest();
    request.setPredicate(Predicate::andPredicate({Predicate::equal("tag", tag), Predicate::isNil("tagKey")}));
    auto found = context->fetch(request);
    if (!found || found->empty()) return;
    const std::string key = tag->key();
    const std::string value = tag->valueText();
    for (const auto& object : *found) {
        object->setValue(kTagKey, key);
        object->setValue(kTagValue, value);
    }
}

namespace {

bool sameText(const Value& held, const std::optional<std::string>& text) {
    const std::string* s = held.getString();
    return text ? s != nullptr && *s == *text : held.isNil();
}

bool sameInteger(const Value& held, int64_t n) {
    auto i = held.getInteger();
    return i && *i == n;
}

bool sameDate(const Value& held, const std::optional<platform::Date>& date) {
    auto d = held.getDate();
    return date ? d && *d == *date : held.isNil();
}

}  // namespace

void BLQUserEvent::updateFromDTO(const BLQUserEventDTO& dto, const SessionLookup& findSession,
                                 const TagLookup& findTag) {
    Value details = dto.details.isDictionary() ? dto.details : Value();
    if (isInserted()) {
        // A new object is written whole by its insertion: a value it already holds need not be
        // set again (setting marks it changed, which only an update reads).
        if (!sameText(primitiveValue(kId), dto.id)) setValue(kId, dto.id);
        if (!sameInteger(primitiveValue(kCode), rawValue(dto.code))) setValue(kCode, rawValue(dto.code));
        if (!(primitiveValue(kDetails) == details)) setValue(kDetails, std::move(details));
        if (!sameText(primitiveValue(kMessage), dto.message)) setValue(kMessage, dto.message);
        if (!sameInteger(primitiveValue(kStatus), rawValue(dto.status)))
            setValue(kStatus, rawValue(dto.status));
        if (!sameDate(primitiveValue(kCreatedDate), dto.createdDate)) setCreatedDate(dto.createdDate);
        if (!sameDate(primitiveValue(kModifiedDate), dto.modifiedDate)) setModifiedDate(dto.modifiedDate);
        if (!sameText(primitiveValue(kSdkVersion), dto.sdkVersion)) setValue(kSdkVersion, dto.sdkVersion);
        if (dto.tag) {
            setValue(kTagKey, dto.tag->key);
            setValue(kTagValue, dto.tag->value);
        }
    } else {
        setValue(kId, dto.id);
        setValue(kCode, rawValue(dto.code));
        setValue(kDetails, std::move(details));
        setValue(kMessage, dto.message);
        setValue(kStatus, rawValue(dto.status));
        setCreatedDate(dto.createdDate);
        setModifiedDate(dto.modifiedDate);
        setValue(kSdkVersion, dto.sdkVersion);
        if (dto.tag) {
            setValue(kTagKey, dto.tag->key);
            setValue(kTagValue, dto.tag->value);
        }
    }

    auto context = managedObjectContext();
    if (dto.tag) {
        std::shared_ptr<platform::ManagedObject> tag;
        if (context && findTag) {
            tag = findTag(dto.tag->key);
        } else if (context) {
            auto request = BLQTag::fetchRequest();
            request.setPredicate(BLQTag::findByKey(dto.tag->key));
            if (auto found = context->fetch(request); found && !found->empty()) tag = found->front();
        }
        setRelatedObject(kTag, tag);
    }
    if (dto.session) {
        const auto& install = dto.session->install;
        if (context && install && install->appKey) {
            // Looked up open or closed: an event saved after its session closed keeps it. A
            // session that cannot be found leaves the event's link as it is: an event once tied
            // to its session never loses it, or it would never be offered for sending again.
            std::shared_ptr<platform::ManagedObject> session;
            if (findSession) {
                session = findSession(*dto.session, *install->appKey);
            } else {
                auto request = BLQSession::fetchRequest();
                request.setPredicate(BLQSession::findBySessionId(dto.session->id, *install->appKey));
                if (auto found = context->fetch(request); found && !found->empty()) session = found->front();
            }
            if (session) setRelatedObject(kSession, session);
        }
    }
}

}  // namespace brindlecue
