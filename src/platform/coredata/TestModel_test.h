#pragma once

// A small model shaped like the library's own, shared by the tests of this folder.

#include <memory>
#include <string>

#include "platform/Crypto.h"
#include "platform/coredata/ManagedObject.h"
#include "platform/coredata/ManagedObjectModel.h"
#include "platform/coredata/PersistentContainer.h"
#include "platform/coredata/SecureUnarchiveFromDataTransformer.h"
#include "platform/coredata/ValueTransformer.h"

namespace brindlecue::platform::testing {

inline constexpr const char* kTestTransformer = "TestDictionaryTransformer";

class TestDictionaryTransformer final : public SecureUnarchiveFromDataTransformer {
public:
    std::vector<Value::Type> allowedTopLevelClasses() const override { return {Value::Type::Dictionary}; }
};

// Stamps its id and creation date when inserted.
class TestInstall : public ManagedObject {
public:
    int awakeCount = 0;
    void awakeFromInsert() override {
        ManagedObject::awakeFromInsert();
        ++awakeCount;
        setValue("createdDate", Date::now());
        setValue("installId", Crypto::uuidString());
    }
};

inline std::shared_ptr<const ManagedObjectModel> makeTestModel() {
    ValueTransformer::setValueTransformer(std::make_shared<TestDictionaryTransformer>(), kTestTransformer);
    auto model = std::make_shared<ManagedObjectModel>();
    EntityDescription install("Install");
    install.addAttribute("installId", AttributeType::String)
        .addAttribute("appId", AttributeType::Integer64)
        .addAttribute("appKey", AttributeType::String)
        .addAttribute("isRegisteredWithServer", AttributeType::Boolean, false, false)
        .addAttribute("createdDate", AttributeType::Date)
        .addAttribute("score", AttributeType::Double)
        .addToManyRelationship("sessions", "Session", "install")
        .addToManyRelationship("tags", "Tag", "install", DeleteRule::Cascade)
        .setObjectClass<TestInstall>();
    EntityDescription session("Session");
    session.addAttribute("id", AttributeType::Integer64, false, 0)
        .addAttribute("startTime", AttributeType::Date)
        .addAttribute("endTime", AttributeType::Date)
        .addToOneRelationship("install", "Install", "sessions")
        .addToManyRelationship("userEvents", "UserEvent", "session");
    EntityDescription event("UserEvent");
    event.addAttribute("id", AttributeType::String)
        .addAttribute("status", AttributeType::Integer16, false, 0)
        .addAttribute("payload", AttributeType::Binary)
        .addTransformableAttribute("details", kTestTransformer)
        .addToOneRelationship("session", "Session", "userEvents");
    EntityDescription tag("Tag");
    tag.addAttribute("key", AttributeType::String, false, "")
        .addAttribute("value", AttributeType::String, false, "")
        .addToOneRelationship("install", "Install", "tags");
    model->addEntity(std::move(install))
        .addEntity(std::move(session))
        .addEntity(std::move(event))
        .addEntity(std::move(tag));
    return model;
}

inline std::unique_ptr<PersistentContainer> loadTestContainer(std::optional<Error>* loadError = nullptr) {
    static std::shared_ptr<const ManagedObjectModel> model = makeTestModel();
    auto container = std::make_unique<PersistentContainer>("Brindlecue", model);
    std::optional<Error> error;
    container->loadPersistentStores(
        [&](const std::filesystem::path&, const std::optional<Error>& e) { error = e; });
    if (loadError) *loadError = error;
    return container;
}

}  // namespace brindlecue::platform::testing
