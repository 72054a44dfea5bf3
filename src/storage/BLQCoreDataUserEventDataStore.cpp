#include "storage/BLQCoreDataUserEventDataStore.h"

#include "config/BLQInstallDTO.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQSession.h"
#include "storage/BLQTag.h"
#include "storage/BLQUserEvent.h"

namespace brindlecue {

namespace {

std::vector<std::shared_ptr<BLQUserEvent>> asEvents(
    const std::vector<std::shared_ptr<platform::ManagedObject>>& in) {
    std::vector<std::shared_ptr<BLQUserEvent>> out;
    out.reserve(in.size());
    for (const auto& object : in)
        if (auto event = std::dynamic_pointer_cast<BLQUserEvent>(object)) out.push_back(std::move(event));
    return out;
}

}  // namespace

void BLQCoreDataUserEventDataStore::enqueue(Work work) {
    std::lock_guard lock(batchMutex_);
    if (openBatch_ && openBatch_->open && openBatch_->size < kBatchLimit &&
        context_->isLastQueued(openBatch_->number)) {
        openBatch_->waiting.push_back(std::move(work));
        ++openBatch_->size;
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->waiting.push_back(std::move(work));
    batch->size = 1;
    batch->number = context_->performNumbered([self = shared_from_this(), batch] { self->runBatch(batch); });
    openBatch_ = std::move(batch);
}

void BLQCoreDataUserEventDataStore::runBatch(const std::shared_ptr<Batch>& batch) {
    inBatch_ = true;
    std::vector<Work> work;
    for (;;) {
        {
            std::lock_guard lock(batchMutex_);
            if (batch->waiting.empty()) {
                batch->open = false;
                if (openBatch_ == batch) openBatch_.reset();
                break;
            }
            work.swap(batch->waiting);
        }
        for (auto& w : work) {
            if (w.create)
                createNow(w);
            else if (w.run)
                w.run();
        }
        work.clear();
    }
    inBatch_ = false;
    // One save for the whole batch, asked for once it has run everything it took: work handed to
    // the batch while it ran is in that save too, not in a second one queued behind it.
    if (auto saved = std::move(whenSaved_)) {
        BLQCoreData::sharedInstance().saveContext([saved] {
            for (const auto& s : *saved) {
                if (s.created)
                    s.created(s.record);
                else if (s.run)
                    s.run();
            }
        });
    }
}

void BLQCoreDataUserEventDataStore::saveContext(std::function<void()> whenSaved) {
    if (!inBatch_) {
        if (whenSaved)
            BLQCoreData::sharedInstance().saveContext(std::move(whenSaved));
        else
            BLQCoreData::sharedInstance().saveContext();
        return;
    }
    waitForSave(Saved{nullptr, nullptr, std::move(whenSaved)});
}

void BLQCoreDataUserEventDataStore::waitForSave(Saved saved) {
    if (!whenSaved_) whenSaved_ = std::make_shared<std::vector<Saved>>();
    if (saved.created || saved.run) whenSaved_->push_back(std::move(saved));
}

void BLQCoreDataUserEventDataStore::createNow(Work& work) {
    auto event = context_->insertNewObject<BLQUserEvent>(BLQUserEvent::kEntityName);
    if (!event) {
        // Only a context over another model lands here.
        if (work.completion)
            work.completion(platform::Error::withDescription("BrindlecueSDK.UserEvent", 0,
                                                             "UserEvent: Failed to create UserEvent"));
        return;
    }
    auto record = event->toDTO();
    if (work.fill) {
        work.fill(record);
        // One write: the insertion with the filled values.
        event->updateFromDTO(*record, sessionLookup(), tagLookup());
    }
    // The caller hears of the event once it is on disk.
    if (inBatch_) {
        waitForSave(Saved{std::move(work.completion), std::move(record), nullptr});
        return;
    }
    BLQCoreData::sharedInstance().saveContext(
        [completion = std::move(work.completion), record = std::move(record)] {
            if (completion) completion(record);
        });
}

std::shared_ptr<platform::ManagedObject> BLQCoreDataUserEventDataStore::sessionFor(
    const BLQSessionDTO& session, const std::string& appKey) {
    if (lastSession_ && lastSessionId_ == session.id && lastAppKey_ == appKey && !lastSession_->isDeleted() &&
        lastSession_->managedObjectContext() == context_ && lastInstall_) {
        // Still the session of that id, and still linked to the install of that app key.
        static constinit const platform::ManagedObjectKey kAppKey{"appKey"}, kId{"id"}, kInstall{"install"};
        const std::string* key = lastInstall_->primitiveValue(kAppKey).getString();
        if (lastSession_->primitiveValue(kId) == platform::Value(session.id) && key && *key == appKey &&
            lastSession_->relatedObjectID(kInstall) == lastInstall_->objectID() &&
            context_->existingObject(lastInstall_->objectID()) == lastInstall_)
            return lastSession_;
    }
    auto request = BLQSession::fetchRequest();
    request.setPredicate(BLQSession::findBySessionId(session.id, appKey));
    auto found = context_->fetch(request);
    if (!found || found->empty()) return nullptr;
    lastSession_ = found->front();
    lastInstall_ = lastSession_->relatedObject("install");
    lastSessionId_ = session.id;
    lastAppKey_ = appKey;
    return lastSession_;
}

BLQUserEvent::SessionLookup BLQCoreDataUserEventDataStore::sessionLookup() {
    return [this](const BLQSessionDTO& session, const std::string& appKey) {
        return sessionFor(session, appKey);
    };
}

std::shared_ptr<platform::ManagedObject> BLQCoreDataUserEventDataStore::tagFor(const std::string& key) {
    // A tag keeps the key it was found by, and a tag made later under the same key comes after it
    // in the fetch: the tag found stays the answer while this context holds it, undeleted, under
    // that key.
    if (lastTag_ && !lastTag_->isDeleted() && context_->existingObject(lastTag_->objectID()) == lastTag_ &&
        lastTag_->stringValue("key") == key)
        return lastTag_;
    auto request = BLQTag::fetchRequest();
    request.setPredicate(BLQTag::findByKey(key));
    auto found = context_->fetch(request);
    if (!found || found->empty()) return nullptr;
    lastTag_ = found->front();
    return lastTag_;
}

BLQUserEvent::TagLookup BLQCoreDataUserEventDataStore::tagLookup() {
    return [this](const std::string& key) { return tagFor(key); };
}

std::shared_ptr<BLQUserEvent> BLQCoreDataUserEventDataStore::findUserEvent(const std::string& id) const {
    auto request = BLQUserEvent::fetchRequest();
    request.setPredicate(BLQUserEvent::findById(id));
    platform::Error error;
    auto found = context_->fetch(request, &error);
    if (!found) {
        log("UserEvent: Failed to retrieve UserEvent with id: " + id +
                ", error: " + error.localizedDescription(),
            BLQLoggingLevel::error);
        return nullptr;
    }
    if (found->empty()) {
        log("UserEvent: Couldn't find UserEvent with id: " + id, BLQLoggingLevel::warning);
        return nullptr;
    }
    return std::dynamic_pointer_cast<BLQUserEvent>(found->front());
}

std::vector<std::shared_ptr<BLQUserEvent>> BLQCoreDataUserEventDataStore::fetchUnsentUserEvents() const {
    auto request = BLQUserEvent::fetchRequest();
    request.setPredicate(BLQUserEvent::findUnsent());
    platform::Error error;
    auto found = context_->fetch(request, &error);
    if (!found) {
        log("UserEvent: Failed to retrieve unsent UserEvents, error: " + error.localizedDescription(),
            BLQLoggingLevel::error);
        return {};
    }
    return asEvents(*found);
}

std::vector<std::shared_ptr<BLQUserEvent>> BLQCoreDataUserEventDataStore::fetchUserEventsMissingSession()
    const {
    auto request = BLQUserEvent::fetchRequest();
    request.setPredicate(BLQUserEvent::findByMissingSession());
    platform::Error error;
    auto found = context_->fetch(request, &error);
    if (!found) {
        log("UserEvent: Failed to retrieve UserEvents which were missing Session, error: " +
                error.localizedDescription(),
            BLQLoggingLevel::error);
        return {};
    }
    return asEvents(*found);
}

std::shared_ptr<BLQSession> BLQCoreDataUserEventDataStore::getOpenSession(
    const BLQSessionDTO& session) const {
    if (!session.install || !session.install->installId) {
        log("UserEvent: Failed to retrieve Session to associate with UserEvents, no install.installId "
            "supplied",
            BLQLoggingLevel::warning);
        return nullptr;
    }
    const std::string& installId = *session.install->installId;
    auto request = BLQSession::fetchRequest();
    request.setPredicate(BLQSession::findOpenBySessionIdInstallId(session.id, installId));
    auto found = context_->fetch(request);
    if (!found) {
        log("UserEvent: Failed to retrieve Session with session.id: " + std::to_string(session.id) +
                " and installId: " + installId,
            BLQLoggingLevel::error);
        return nullptr;
    }
    return found->empty() ? nullptr : std::dynamic_pointer_cast<BLQSession>(found->front());
}

void BLQCoreDataUserEventDataStore::createUserEventObject(std::function<void(CreateResult)> completion) {
    enqueue(Work{true, nullptr, std::move(completion), nullptr});
}

void BLQCoreDataUserEventDataStore::createUserEventObject(
    std::function<void(const std::shared_ptr<BLQUserEventDTO>&)> fill,
    std::function<void(CreateResult)> completion) {
    enqueue(Work{true, std::move(fill), std::move(completion), nullptr});
}

std::shared_ptr<BLQUserEventDTO> BLQCoreDataUserEventDataStore::getUserEvent(const std::string& id) {
    return context_->performAndWait([&]() -> std::shared_ptr<BLQUserEventDTO> {
        auto event = findUserEvent(id);
        return event ? event->toDTO() : nullptr;
    });
}

void BLQCoreDataUserEventDataStore::findUnsentUserEvents(std::function<void(ListResult)> completion) {
    enqueue(Work{false, nullptr, nullptr, [self = shared_from_this(), completion = std::move(completion)] {
                     if (self->undoMarksOfEndedRun()) self->saveContext();
                     std::vector<std::shared_ptr<BLQUserEventDTO>> records;
                     for (const auto& event : self->fetchUnsentUserEvents())
                         records.push_back(event->toDTO());
                     if (completion) completion(std::move(records));
                 }});
}

void BLQCoreDataUserEventDataStore::associateUserEventsWithoutSessionToSession(
    const std::shared_ptr<BLQSessionDTO>& sessionDTO) {
    enqueue(
        Work{false, nullptr, nullptr, [self = shared_from_this(), sessionDTO] {
                 auto session = sessionDTO ? self->getOpenSession(*sessionDTO) : nullptr;
                 if (!session) {
                     self->log(
                         "UserEvent: Failed to retrieve Session to associate with UserEvents missing Session",
                         BLQLoggingLevel::warning);
                     return;
                 }
                 for (const auto& event : self->fetchUserEventsMissingSession())
                     event->setRelatedObject("session", session);
                 self->saveContext();
             }});
}

void BLQCoreDataUserEventDataStore::saveUserEvent(const std::shared_ptr<BLQUserEventDTO>& dto) {
    enqueue(Work{false, nullptr, nullptr, [self = shared_from_this(), dto] {
                     if (!dto || !dto->id) {
                         self->log("UserEvent: Attempting to save UserEvent, which has no id, aborting.",
                                   BLQLoggingLevel::warning);
                         return;
                     }
                     auto event = self->findUserEvent(*dto->id);
                     if (!event) {
                         self->log(
                             "UserEvent: Attempting to save UserEvent, but doesn't exist in DB, aborting.",
                             BLQLoggingLevel::warning);
                         return;
                     }
                     event->updateFromDTO(*dto, self->sessionLookup(), self->tagLookup());
                     self->saveContext();
                 }});
}

void BLQCoreDataUserEventDataStore::saveUserEvents(
    const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) {
    for (const auto& event : events) saveUserEvent(event);
}

void BLQCoreDataUserEventDataStore::deleteUserEvent(const std::shared_ptr<BLQUserEventDTO>& dto) {
    enqueue(Work{
        false, nullptr, nullptr, [self = shared_from_this(), dto] {
            if (!dto || !dto->id) {
                self->log("UserEvent: Attempting to delete UserEvent which doesn't have an id, aborting.",
                          BLQLoggingLevel::warning);
                return;
            }
            auto event = self->findUserEvent(*dto->id);
            if (!event) {
                self->log("UserEvent: Attempting to delete UserEvent, but doesn't exist in DB, aborting.",
                          BLQLoggingLevel::warning);
                return;
            }
            self->context_->deleteObject(event);
            self->saveContext();
        }});
}

void BLQCoreDataUserEventDataStore::takeUnsentUserEvents(std::function<void(ListResult)> completion) {
    enqueue(Work{false, nullptr, nullptr, [self = shared_from_this(), completion = std::move(completion)] {
                     // One block on the context's queue: nothing else can fetch these events between the
                     // fetch and the mark. The marks an ended run left are undone in the same save.
                     self->undoMarksOfEndedRun();
                     auto events = self->fetchUnsentUserEvents();
                     for (const auto& event : events)
                         event->setValue("status", rawValue(BLQUserEventStatus::sending));
                     // The records are made after the save, with the modification date it stamped.
                     self->saveContext([completion, events = std::move(events)] {
                         std::vector<std::shared_ptr<BLQUserEventDTO>> records;
                         records.reserve(events.size());
                         for (const auto& event : events) records.push_back(event->toDTO());
                         if (completion) completion(std::move(records));
                     });
                 }});
}

void BLQCoreDataUserEventDataStore::resetUserEventsBeingSent() {
    // Left to this store's next read by status, on its queue: a launch does not wait for it, and no
    // event is handed out before the marks are undone.
    undoMarksFirst_ = true;
}

bool BLQCoreDataUserEventDataStore::undoMarksOfEndedRun() {
    if (!undoMarksFirst_.exchange(false)) return false;
    auto request = BLQUserEvent::fetchRequest();
    request.setPredicate(platform::Predicate::equal("status", rawValue(BLQUserEventStatus::sending)));
    platform::Error error;
    auto found = context_->fetch(request, &error);
    if (!found) {
        log("UserEvent: Failed to retrieve UserEvents being sent, error: " + error.localizedDescription(),
            BLQLoggingLevel::error);
        return false;
    }
    if (found->empty()) return false;
    for (const auto& event : *found) event->setValue("status", rawValue(BLQUserEventStatus::unsent));
    log("UserEvent: " + std::to_string(found->size()) + " UserEvents left being sent are unsent again",
        BLQLoggingLevel::info);
    return true;
}

void BLQCoreDataUserEventDataStore::deleteUserEvents(
    const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) {
    for (const auto& event : events) deleteUserEvent(event);
}

}  // namespace brindlecue
