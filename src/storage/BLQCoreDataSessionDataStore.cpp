#include "storage/BLQCoreDataSessionDataStore.h"

#include "storage/BLQCoreData.h"
#include "storage/BLQInstall.h"
#include "storage/BLQSession.h"

namespace brindlecue {

void BLQCoreDataSessionDataStore::createSessionForInstall(const std::shared_ptr<BLQInstallDTO>& installDTO,
                                                          std::function<void(CreateResult)> completion) {
    context_->perform([self = shared_from_this(), installDTO, completion = std::move(completion)] {
        auto fail = [&](const std::string& message, BLQLoggingLevel level) {
            self->log(message, level);
            if (completion) completion(SessionError::creationError(message));
        };
        if (!installDTO || !installDTO->installId) {
            fail("Session: No installId present on the Install object, aborting", BLQLoggingLevel::warning);
            return;
        }
        const std::string& installId = *installDTO->installId;
        auto request = BLQInstall::fetchRequest();
        request.setPredicate(BLQInstall::findByInstallId(installId));
        platform::Error error;
        auto found = self->context_->fetch(request, &error);
        if (!found) {
            fail("Session: Error trying to find Install to associate Session with, installId : " + installId +
                     ", error: " + error.localizedDescription(),
                 BLQLoggingLevel::error);
            return;
        }
        if (found->empty()) {
            fail("Session: Couldn't find Install to associate Session with, installId : " + installId,
                 BLQLoggingLevel::warning);
            return;
        }
        auto session = self->context_->insertNewObject<BLQSession>(BLQSession::kEntityName);
        if (!session) {
            fail("Session: Failed to create Session for installId : " + installId, BLQLoggingLevel::error);
            return;
        }
        found->front()->addRelatedObject("sessions", session);
        BLQCoreData::sharedInstance().saveContext([completion, record = session->toDTO()] {
            if (completion) completion(record);
        });
    });
}

std::shared_ptr<BLQSessionDTO> BLQCoreDataSessionDataStore::getSessionForAppKey(const std::string& appKey) {
    return context_->performAndWait([&]() -> std::shared_ptr<BLQSessionDTO> {
        auto request = BLQSession::fetchRequest();
        request.setPredicate(BLQSession::findOpenByAppKey(appKey));
        auto found = context_->fetch(request);
        if (!found) {
            log("Session: Failed to retrieve 'open' Session with appKey: " + appKey, BLQLoggingLevel::error);
            return nullptr;
        }
        if (found->empty()) {
            log("Session: Couldn't find 'open' Session with appKey: " + appKey, BLQLoggingLevel::warning);
            return nullptr;
        }
        return std::dynamic_pointer_cast<BLQSession>(found->front())->toDTO();
    });
}

void BLQCoreDataSessionDataStore::saveSession(const std::shared_ptr<BLQSessionDTO>& dto) {
    context_->perform([self = shared_from_this(), dto] {
        if (!dto || !dto->install || !dto->install->appKey) return;
        auto request = BLQSession::fetchRequest();
        request.setPredicate(BLQSession::findOpenBySessionId(dto->id, *dto->install->appKey));
        auto found = self->context_->fetch(request);
        if (!found) {
            self->log("Session: Failed to save Session, does not exist in DB", BLQLoggingLevel::error);
            return;
        }
        if (found->empty()) return;
        std::dynamic_pointer_cast<BLQSession>(found->front())->updateFromDTO(*dto);
        BLQCoreData::sharedInstance().saveContext();
    });
}

}  // namespace brindlecue
