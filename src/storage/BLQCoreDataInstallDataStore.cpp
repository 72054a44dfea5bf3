#include "storage/BLQCoreDataInstallDataStore.h"

#include "storage/BLQCoreData.h"
#include "storage/BLQInstall.h"

namespace brindlecue {

std::shared_ptr<BLQInstall> BLQCoreDataInstallDataStore::findByAppKey(const std::string& appKey) const {
    auto request = BLQInstall::fetchRequest();
    request.setPredicate(BLQInstall::findByAppKey(appKey));
    auto found = context_->fetch(request);
    if (!found) {
        log("Install: Failed to retrieve Install for appKey: " + appKey, BLQLoggingLevel::error);
        return nullptr;
    }
    if (found->empty()) {
        log("Install: Couldn't find Install for appKey: " + appKey, BLQLoggingLevel::warning);
        return nullptr;
    }
    return std::dynamic_pointer_cast<BLQInstall>(found->front());
}

std::shared_ptr<BLQInstall> BLQCoreDataInstallDataStore::findByInstallId(const std::string& installId) const {
    auto request = BLQInstall::fetchRequest();
    request.setPredicate(BLQInstall::findByInstallId(installId));
    auto found = context_->fetch(request);
    if (!found) {
        log("Install: Failed to retrieve Install for installId: " + installId, BLQLoggingLevel::error);
        return nullptr;
    }
    if (found->empty()) {
        log("Install: Couldn't find Install for installId: " + installId, BLQLoggingLevel::warning);
        return nullptr;
    }
    return std::dynamic_pointer_cast<BLQInstall>(found->front());
}

void BLQCoreDataInstallDataStore::createInstallForAppKey(const std::string& appKey,
                                                         std::function<void(CreateResult)> completion) {
    context_->perform([self = shared_from_this(), appKey, completion = std::move(completion)] {
        auto install = self->context_->insertNewObject<BLQInstall>(BLQInstall::kEntityName);
        if (!install) {
            // Only a context over another model lands here.
            if (completion)
                completion(platform::Error::withDescription("BrindlecueSDK.Install", 0,
                                                            "Install: Failed to create Install for appKey: " + appKey));
            return;
        }
        install->setAppKey(appKey);
        // The caller hears of the install once it is on disk.
        BLQCoreData::sharedInstance().saveContext([completion, record = install->toDTO()] {
            if (completion) completion(record);
        });
    });
}

std::shared_ptr<BLQInstallDTO> BLQCoreDataInstallDataStore::getInstallForAppKey(const std::string& appKey) {
    return context_->performAndWait([&]() -> std::shared_ptr<BLQInstallDTO> {
        auto install = findByAppKey(appKey);
        return install ? install->toDTO() : nullptr;
    });
}

void BLQCoreDataInstallDataStore::saveInstall(const std::shared_ptr<BLQInstallDTO>& dto) {
    context_->perform([self = shared_from_this(), dto] {
        if (!dto || !dto->appKey) {
            self->log("Install: Attempting to save Install, but has no AppKey specified. If you want to create a new "
                      "install, use the CreateInstallForAppKey function",
                      BLQLoggingLevel::warning);
            return;
        }
        auto install = self->findByAppKey(*dto->appKey);
        if (!install) {
            self->log("Install: Attempting to save Install, but doesn't exist in DB, aborting. If you want to create "
                      "a new install, use the CreateInstallForAppKey function",
                      BLQLoggingLevel::warning);
            return;
        }
        install->updateFromDTO(*dto);
        BLQCoreData::sharedInstance().saveContext();
    });
}

void BLQCoreDataInstallDataStore::deleteInstall(const std::shared_ptr<BLQInstallDTO>& dto) {
    context_->perform([self = shared_from_this(), dto] {
        if (!dto || !dto->installId) {
            self->log("Install: Attempting to delete Install which doesn't have an installId, aborting.",
                      BLQLoggingLevel::warning);
            return;
        }
        auto install = self->findByInstallId(*dto->installId);
        if (!install) {
            self->log("Install: Attempting to delete Install, but doesn't exist in DB, aborting.",
                      BLQLoggingLevel::warning);
            return;
        }
        self->context_->deleteObject(install);
        BLQCoreData::sharedInstance().saveContext();
    });
}

}  // namespace brindlecue
