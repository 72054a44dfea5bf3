#include "storage/BLQPersistentContainer.h"

#include <string>

#include "storage/BLQConfigSetting.h"
#include "storage/BLQDeleteCondition.h"
#include "storage/BLQFeed.h"
#include "storage/BLQInstall.h"
#include "storage/BLQSession.h"
#include "storage/BLQTag.h"
#include "storage/BLQUserEvent.h"
#include "storage/DictionaryTransformer.h"

namespace brindlecue {

using platform::AttributeType;
using platform::DeleteRule;
using platform::EntityDescription;

namespace {

EntityDescription auditable(std::string name) {
    EntityDescription entity(std::move(name));
    entity.addAttribute("createdDate", AttributeType::Date).addAttribute("modifiedDate", AttributeType::Date);
    return entity;
}

template <class Condition>
EntityDescription condition(const std::string& inverse) {
    EntityDescription entity = auditable(Condition::kEntityName);
    for (const char* name : {"type", "op", "value", "tag", "currentValue", "feedId"})
        entity.addAttribute(name, AttributeType::String);
    entity.addToOneRelationship("feed", BLQFeed::kEntityName, inverse).template setObjectClass<Condition>();
    return entity;
}

std::shared_ptr<const platform::ManagedObjectModel> buildModel() {
    auto model = std::make_shared<platform::ManagedObjectModel>();

    EntityDescription install = auditable(BLQInstall::kEntityName);
    install.addAttribute("installId", AttributeType::String)
        .addAttribute("appId", AttributeType::Integer64)
        .addAttribute("appKey", AttributeType::String)
        .addAttribute("sdkVersion", AttributeType::String)
        .addAttribute("clientAppVersion", AttributeType::String)
        .addAttribute("carrier", AttributeType::String)
        .addAttribute("model", AttributeType::String)
        .addAttribute("platform", AttributeType::String)
        .addAttribute("osVersion", AttributeType::String)
        .addAttribute("registrationDate", AttributeType::Date)
        .addAttribute("isRegisteredWithServer", AttributeType::Boolean, false, false)
        .addToManyRelationship("sessions", BLQSession::kEntityName, "install")
        .addToManyRelationship("tags", BLQTag::kEntityName, "install")
        .addToManyRelationship("feeds", BLQFeed::kEntityName, "install")
        .addIndex("installId")
        .addIndex("appKey")
        .addIndex("appId")
        .setObjectClass<BLQInstall>();

    EntityDescription session = auditable(BLQSession::kEntityName);
    session.addAttribute("id", AttributeType::Integer64, false, 0)
        .addAttribute("startTime", AttributeType::Date)
        .addAttribute("endTime", AttributeType::Date)
        .addToOneRelationship("install", BLQInstall::kEntityName, "sessions")
        .addToManyRelationship("userEvents", BLQUserEvent::kEntityName, "session")
        .addIndex("id")
        .setObjectClass<BLQSession>();

    EntityDescription setting = auditable(BLQConfigSetting::kEntityName);
    setting.addAttribute("key", AttributeType::String)
        .addAttribute("value", AttributeType::String)
        .addIndex("key")
        .setObjectClass<BLQConfigSetting>();

    EntityDescription event = auditable(BLQUserEvent::kEntityName);
    event.addAttribute("id", AttributeType::String)
        .addAttribute("code", AttributeType::Integer64, false, 0)
        .addAttribute("message", AttributeType::String)
        .addTransformableAttribute("details", DictionaryTransformer::kName)
        .addAttribute("status", AttributeType::Integer64, false, 0)
        .addAttribute("sdkVersion", AttributeType::String)
        // The key and value of a tag event as it was recorded; the linked tag may change or go.
        .addAttribute("tagKey", AttributeType::String)
        .addAttribute("tagValue", AttributeType::String)
        .addToOneRelationship("session", BLQSession::kEntityName, "userEvents")
        .addToOneRelationship("tag", BLQTag::kEntityName, "userEvents")
        .addIndex("id")
        .setObjectClass<BLQUserEvent>();

    EntityDescription tag = auditable(BLQTag::kEntityName);
    tag.addAttribute("key", AttributeType::String, false, "")
        .addAttribute("value", AttributeType::String, false, "")
        .addToOneRelationship("install", BLQInstall::kEntityName, "tags")
        .addToManyRelationship("userEvents", BLQUserEvent::kEntityName, "tag")
        .addIndex("key")
        .setObjectClass<BLQTag>();

    // A feed owns its conditions: deleting it deletes them.
    EntityDescription feed = auditable(BLQFeed::kEntityName);
    feed.addAttribute("id", AttributeType::String)
        .addAttribute("guideId", AttributeType::String)
        .addAttribute("type", AttributeType::String)
        .addAttribute("activates", AttributeType::Date)
        .addAttribute("expires", AttributeType::Date)
        .addAttribute("created", AttributeType::Date)
        .addAttribute("modified", AttributeType::Date)
        .addToManyRelationship("deleteConditions", BLQDeleteCondition::kEntityName, "feed", DeleteRule::Cascade)
        .addToManyRelationship("repeatConditions", BLQRepeatCondition::kEntityName, "feed", DeleteRule::Cascade)
        .addToManyRelationship("triggerConditions", BLQTriggerCondition::kEntityName, "feed", DeleteRule::Cascade)
        .addToOneRelationship("install", BLQInstall::kEntityName, "feeds")
        .addIndex("id")
        .setObjectClass<BLQFeed>();

    model->addEntity(std::move(install))
        .addEntity(std::move(session))
        .addEntity(std::move(setting))
        .addEntity(std::move(event))
        .addEntity(std::move(tag))
        .addEntity(std::move(feed))
        .addEntity(condition<BLQDeleteCondition>("deleteConditions"))
        .addEntity(condition<BLQRepeatCondition>("repeatConditions"))
        .addEntity(condition<BLQTriggerCondition>("triggerConditions"));
    return model;
}

}  // namespace

std::shared_ptr<const platform::ManagedObjectModel> BLQPersistentContainer::brindlecueModel() {
    static const std::shared_ptr<const platform::ManagedObjectModel> model = [] {
        auto built = buildModel();
        platform::ManagedObjectModel::registerNamed(kModelName, built);
        return built;
    }();
    return model;
}

// The model is compiled into the library rather than shipped as a resource: registering it first
// lets the container find it by name, as the platform finds a bundled model.
std::string BLQPersistentContainer::registeredModelName() {
    brindlecueModel();
    return kModelName;
}

BLQPersistentContainer::BLQPersistentContainer() : PersistentContainer(registeredModelName()) {}

}  // namespace brindlecue
