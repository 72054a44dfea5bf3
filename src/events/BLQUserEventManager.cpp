#include "events/BLQUserEventManager.h"

#include <utility>

#include "foundation/BLQILoggerManager.h"
#include "foundation/BLQPublished.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchWorkItem.h"

namespace brindlecue {

using platform::Value;

namespace {

std::string codeText(const BLQUserEventDTO& event) {
    return std::to_string(rawValue(event.code));
}

// A line that shows a whole record is made only when a logger is there to take it.
bool isListening() {
    return BLQPublished<BLQILoggerManager>::get() != nullptr;
}

}  // namespace

BLQUserEventManager::BLQUserEventManager(
    std::shared_ptr<BLQIUserEventDataStore> dataStore, std::shared_ptr<BLQISessionManager> sessionManager,
    std::shared_ptr<BLQIUserEventDeduperManager> dedupeManager,
    std::shared_ptr<BLQIConfigManager> configManager, std::shared_ptr<BLQIUserEventSender> sender,
    std::vector<std::shared_ptr<BLQISendConditionVerifier>> sendConditionVerifiers)
    : dataStore_(std::move(dataStore)),
      sessionManager_(std::move(sessionManager)),
      dedupeManager_(std::move(dedupeManager)),
      configManager_(std::move(configManager)),
      sender_(std::move(sender)),
      sendConditionVerifiers_(std::move(sendConditionVerifiers)),
      disabledCodes_(configManager_),
      debounceQueue_(platform::DispatchQueue::serial("com.brindlecue.user-event-debounce-queue")),
      findUnsentQueue_(platform::DispatchQueue::serial("com.brindlecue.user-event-find-unsent-queue")),
      networkQueue_(platform::DispatchQueue::serial("com.brindlecue.user-event-network-queue")) {
    // No upload of this process is in flight yet: a mark "being sent" is an earlier run's.
    dataStore_->resetUserEventsBeingSent();
}

// MARK: - Recording

void BLQUserEventManager::sendUserEventWithCode(int64_t code, const std::string& message,
                                                const Value& details) {
    sendUserEventWithCode(code, message, details, nullptr);
}

void BLQUserEventManager::sendUserEventWithCode(int64_t code, const std::string& message,
                                                const Value& details, Handler handler) {
    sendUserEventWithCode(code, nullptr, message, details, std::move(handler));
}

void BLQUserEventManager::sendUserEventErrorWithMessage(const std::string& message,
                                                        const std::string& description) {
    sendUserEventErrorWithMessageDetails(
        message, Value::dictionary({{"message", message}, {"description", description}}));
}

void BLQUserEventManager::sendUserEventErrorWithMessageDetails(const std::string& message,
                                                               const Value& details) {
    sendUserEventWithCode(kErrorEventCode, nullptr, message, details, nullptr);
}

void BLQUserEventManager::sendUserEventWithCode(int64_t code, const std::shared_ptr<BLQTagDTO>& tag,
                                                const std::string& message, const Value& details, Handler) {
    auto eventCode = BLQUserEventCodeFromRawValue(code);
    if (!eventCode) {
        log("UserEvent: Unknown code: " + std::to_string(code) + ", the UserEvent is not recorded",
            BLQLoggingLevel::warning);
        return;
    }
    // The store writes the event once, as the fill leaves it; the upload it may call for is
    // scheduled once the event is on disk. The event belongs to the session open when it
    // happened, also when the session closes before the store's queue gets to the event. The
    // fill and the completion share one record of the call (each holds only it, so neither
    // needs memory of its own), and the fill, which runs once, hands its texts and values on.
    struct Call {
        std::shared_ptr<BLQUserEventManager> self;
        BLQUserEventCode code;
        std::shared_ptr<BLQTagDTO> tag;
        std::string message;
        Value details;
        std::shared_ptr<BLQSessionDTO> session;
        bool sendNow = false;
    };
    auto call = std::make_shared<Call>(Call{shared_from_this(), *eventCode, tag, message,
                                            details.isDictionary() ? details : Value(),
                                            sessionManager_->getCurrentSession()});
    dataStore_->createUserEventObject(
        [call](const EventPtr& event) {
            call->sendNow = call->self->fillEvent(event, call->code, std::move(call->tag), std::move(call->message),
                                                  std::move(call->details), std::move(call->session));
        },
        [call](BLQIUserEventDataStore::CreateResult result) {
            if (const auto* error = std::get_if<platform::Error>(&result)) {
                call->self->log("UserEvent: Failed to create UserEvent for code: " +
                                    std::to_string(rawValue(call->code)) +
                                    " with error: " + error->localizedDescription(),
                                BLQLoggingLevel::error);
                return;
            }
            if (call->sendNow) call->self->debounceSend();
        });
}

bool BLQUserEventManager::fillEvent(const EventPtr& event, BLQUserEventCode code, std::shared_ptr<BLQTagDTO> tag,
                                    std::string message, Value details, std::shared_ptr<BLQSessionDTO> session) {
    event->code = code;
    event->message = std::move(message);
    event->details = std::move(details);
    event->session = std::move(session);
    event->sdkVersion = configManager_->getSDKVersion();
    event->tag = std::move(tag);
    if (isListening()) {
        log("UserEvent: Saving with code " + codeText(*event) +
                ". Full object: " + event->toDictionary().value_or(Value::dictionary()).description(),
            BLQLoggingLevel::info);
    }

    bool sendNow = false;
    if (event->session) {
        sendNow = handleNewEvent(event);
    } else {
        // Not judged and triggering nothing until a session takes it in.
        mayHaveEventsWithoutSession_ = true;
    }
    if (mayHaveEventsWithoutSession_) {
        if (auto session = sessionManager_->getCurrentSession()) {
            mayHaveEventsWithoutSession_ = false;
            dataStore_->associateUserEventsWithoutSessionToSession(session);
        }
    }
    return sendNow;
}

bool BLQUserEventManager::handleNewEvent(const EventPtr& event) {
    if (!configManager_->isBrindlecueEnabled()) {
        log("UserEvent: SDK is disabled, aborting send to server", BLQLoggingLevel::info);
        return false;
    }
    if (dedupe(event)) {
        logDeduped(*event);
        event->status = BLQUserEventStatus::deduped;
        return false;
    }
    // Every verifier is asked: the disabled-code verifier marks the event as it answers.
    bool sendNow = false;
    for (const auto& verifier : sendConditionVerifiers_) sendNow = verifier->shouldSendNow(event) || sendNow;
    return sendNow;
}

bool BLQUserEventManager::dedupe(const EventPtr& event) {
    return dedupeManager_->shouldDedupe(event);
}

void BLQUserEventManager::logDeduped(const BLQUserEventDTO& event) const {
    if (!isListening()) return;
    auto document = event.toDictionary();
    log("UserEvent: Deduping with code " + codeText(event) +
            ", saving to DB as 'deduped' status. Full object: " +
            (document ? document->description() : "nil"),
        BLQLoggingLevel::info);
}

// MARK: - Sending

void BLQUserEventManager::debounceSend() {
    std::weak_ptr<BLQUserEventManager> weak = weak_from_this();
    auto item = platform::DispatchWorkItem::create([weak] {
        if (auto self = weak.lock()) self->sendAllUnsent();
    });
    {
        std::lock_guard lock(debounceMutex_);
        if (debounceTimer_) debounceTimer_->cancel();
        debounceTimer_ = item;
    }
    debounceQueue_->asyncAfter(kSendDelay, item);
}

void BLQUserEventManager::sendAllUnsent() {
    log("UserEvent: preparing to send all unsent UserEvents to server", BLQLoggingLevel::info);
    findUnsentQueue_->async([self = shared_from_this()] {
        self->findUnsentSemaphore_.wait();
        self->dataStore_->takeUnsentUserEvents(
            [self](BLQIUserEventDataStore::ListResult result) { self->didTakeUnsent(std::move(result)); });
        self->findUnsentSemaphore_.signal();
    });
}

void BLQUserEventManager::didTakeUnsent(BLQIUserEventDataStore::ListResult result) {
    if (const auto* error = std::get_if<platform::Error>(&result)) {
        log("UserEvent: Failed to load unsent UserEvents from the db, error: " +
                error->localizedDescription(),
            BLQLoggingLevel::error);
        return;
    }
    std::vector<EventPtr> batch;
    for (auto& event : std::get<std::vector<EventPtr>>(result)) {
        if (disabledCodes_.disableIfListed(*event))
            dataStore_->saveUserEvent(event);
        else
            batch.push_back(std::move(event));
    }
    sendEvents(std::move(batch));
}

void BLQUserEventManager::sendEvents(std::vector<EventPtr> events) {
    networkQueue_->async(
        [self = shared_from_this(), events = std::move(events)] { self->networkSend(events); });
}

void BLQUserEventManager::networkSend(const std::vector<EventPtr>& events) {
    networkSemaphore_.wait();
    std::vector<EventPtr> upload;
    upload.reserve(events.size());
    for (const auto& event : events) {
        if (dedupe(event)) {
            logDeduped(*event);
            event->status = BLQUserEventStatus::deduped;
            dataStore_->saveUserEvent(event);
        } else {
            upload.push_back(event);
        }
    }
    auto self = shared_from_this();
    sender_->uploadUserEvents(
        upload,
        [self, upload](const Value&, const platform::URL&) {
            self->log("UserEvent: successfully sent UserEvents", BLQLoggingLevel::info);
            for (const auto& event : upload) event->status = BLQUserEventStatus::sent;
            self->dataStore_->saveUserEvents(upload);
        },
        [self, upload](const platform::Error& error) {
            self->log("UserEvent: failed to send UserEvents, error: " + error.localizedDescription(),
                      BLQLoggingLevel::error);
            for (const auto& event : upload) event->status = BLQUserEventStatus::unsent;
            self->dataStore_->saveUserEvents(upload);
        });
    networkSemaphore_.signal();
}

}  // namespace brindlecue
