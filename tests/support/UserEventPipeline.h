#pragma once

// The user-event manager as the library composes it (the four dedupers, the disabled-code and
// priority-code verifiers) over the given store, sessions, configuration and sender, and the
// events of a store in the order they were created.

#include <algorithm>
#include <memory>
#include <vector>

#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQPriorityCodeSendConditionVerifier.h"
#include "events/BLQTagIncrementDeduper.h"
#include "events/BLQTargetNotFoundDeduper.h"
#include "events/BLQUserEventDeduperManager.h"
#include "events/BLQUserEventManager.h"
#include "events/BLQViewEnterDeduper.h"
#include "facade/BLQSessionManager.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataUserEventDataStore.h"

namespace brindlecue::testsupport {

inline std::shared_ptr<BLQUserEventManager> makeUserEventManager(
    std::shared_ptr<BLQIUserEventDataStore> store, std::shared_ptr<BLQISessionDataStore> sessions,
    std::shared_ptr<BLQIAppDetailsProvider> details, std::shared_ptr<BLQIConfigManager> config,
    std::shared_ptr<BLQIUserEventSender> sender, std::shared_ptr<BLQSessionManager> sessionManager = nullptr) {
    if (!sessionManager) sessionManager = std::make_shared<BLQSessionManager>(std::move(sessions), std::move(details));
    return std::make_shared<BLQUserEventManager>(
        std::move(store), std::move(sessionManager),
        std::make_shared<BLQUserEventDeduperManager>(std::vector<std::shared_ptr<BLQIUserEventDeduper>>{
            std::make_shared<BLQTargetNotFoundDeduper>(), std::make_shared<BLQViewEnterDeduper>(),
            std::make_shared<BLQViewExitDeduper>(), std::make_shared<BLQTagIncrementDeduper>()}),
        config, std::move(sender),
        std::vector<std::shared_ptr<BLQISendConditionVerifier>>{
            std::make_shared<BLQDisabledCodeSendConditionVerifier>(config),
            std::make_shared<BLQPriorityCodeSendConditionVerifier>(config)});
}

// Every event of the store, oldest first. Call once the store's queued work has run.
inline std::vector<std::shared_ptr<BLQUserEventDTO>> storedUserEvents(
    const std::shared_ptr<BLQCoreDataUserEventDataStore>& store) {
    auto context = store->context();
    return context->performAndWait([&] {
        auto objects = *context->fetch(platform::FetchRequest("UserEvent"));
        std::sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) {
            return a->objectID().primaryKey < b->objectID().primaryKey;
        });
        std::vector<std::shared_ptr<BLQUserEventDTO>> out;
        for (const auto& object : objects) out.push_back(store->getUserEvent(*object->stringValue("id")));
        return out;
    });
}

}  // namespace brindlecue::testsupport
