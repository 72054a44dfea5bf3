#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/BLQIConfigManager.h"
#include "config/BLQISessionManager.h"
#include "events/BLQDisabledCodeSendConditionVerifier.h"
#include "events/BLQISendConditionVerifier.h"
#include "events/BLQIUserEventDeduperManager.h"
#include "events/BLQIUserEventManager.h"
#include "events/BLQIUserEventSender.h"
#include "foundation/BLQILoggable.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "storage/BLQIUserEventDataStore.h"

namespace brindlecue {

namespace platform {
class DispatchQueue;
class DispatchWorkItem;
}  // namespace platform

// Every user event enters here. The manager has the store make a record and, before the store
// writes it, fills it (code, message, details, the open session, the SDK version, the tag) and,
// when the event has a session and the library is enabled, asks the deduper manager whether it
// repeats an earlier event (status deduped) and then every send-condition verifier in turn (a
// disabled code gets status disabled). The event is written once, filled and judged: it is never
// in the store half-made, and offered for an upload only as what it is. When a verifier asked for
// an upload, a send is scheduled 0.5 s after the event is on disk, on the debounce queue,
// replacing the one pending, so a burst gives one upload 0.5 s after its last triggering event.
//
// A send takes the unsent events that have a session from the store in one step (they are
// marked being sent there), marks those whose code is disabled by now, and on the network queue
// asks the deduper manager again about each (duplicates are marked deduped and left out) and
// uploads the rest in one batch. The upload's outcome applies to the uploaded events only: sent
// after success, unsent again after a failure, to leave with the next upload. Events marked being
// sent by a process that ended mid-upload are made unsent when the manager is built.
//
// Recording and sending never block the caller; nothing is reported back (the handlers are
// accepted and never called). Made with make_shared: queued work keeps the manager alive.
class BLQUserEventManager final : public BLQIUserEventManager,
                                  public BLQILoggable,
                                  public std::enable_shared_from_this<BLQUserEventManager> {
public:
    using EventPtr = std::shared_ptr<BLQUserEventDTO>;

    // Seconds between the last triggering event and its upload.
    static constexpr double kSendDelay = 0.5;

    BLQUserEventManager(std::shared_ptr<BLQIUserEventDataStore> dataStore,
                        std::shared_ptr<BLQISessionManager> sessionManager,
                        std::shared_ptr<BLQIUserEventDeduperManager> dedupeManager,
                        std::shared_ptr<BLQIConfigManager> configManager,
                        std::shared_ptr<BLQIUserEventSender> sender,
                        std::vector<std::shared_ptr<BLQISendConditionVerifier>> sendConditionVerifiers);

    void sendUserEventWithCode(int64_t code, const std::string& message,
                               const platform::Value& details) override;
    void sendUserEventWithCode(int64_t code, const std::string& message, const platform::Value& details,
                               Handler handler) override;
    // The one that does the work; a code that is none of BLQUserEventCode's is logged and dropped.
    void sendUserEventWithCode(int64_t code, const std::shared_ptr<BLQTagDTO>& tag,
                               const std::string& message, const platform::Value& details,
                               Handler handler) override;
    void sendUserEventErrorWithMessage(const std::string& message, const std::string& description) override;
    void sendUserEventErrorWithMessageDetails(const std::string& message,
                                              const platform::Value& details) override;

    // The steps of the pipeline. handleNewEvent judges a new event that has a session, on the
    // store's queue before the event is written: it may mark it deduped or disabled, and answers
    // whether the event calls for an upload.
    bool handleNewEvent(const EventPtr& event);
    void debounceSend();
    void sendAllUnsent();
    void sendEvents(std::vector<EventPtr> events);
    bool dedupe(const EventPtr& event);

private:
    // Fills a new record and judges it; true when it calls for an upload.
    bool fillEvent(const EventPtr& event, BLQUserEventCode code, std::shared_ptr<BLQTagDTO> tag,
                   std::string message, platform::Value details, std::shared_ptr<BLQSessionDTO> session);
    void didTakeUnsent(BLQIUserEventDataStore::ListResult result);
    void networkSend(const std::vector<EventPtr>& events);
    void logDeduped(const BLQUserEventDTO& event) const;

    const std::shared_ptr<BLQIUserEventDataStore> dataStore_;
    const std::shared_ptr<BLQISessionManager> sessionManager_;
    const std::shared_ptr<BLQIUserEventDeduperManager> dedupeManager_;
    const std::shared_ptr<BLQIConfigManager> configManager_;
    const std::shared_ptr<BLQIUserEventSender> sender_;
    const std::vector<std::shared_ptr<BLQISendConditionVerifier>> sendConditionVerifiers_;
    // Checks the codes of a batch again when it is taken: the list may have changed since the
    // events were recorded, and events recorded while the library was off were never checked.
    const BLQDisabledCodeSendConditionVerifier disabledCodes_;

    const std::shared_ptr<platform::DispatchQueue> debounceQueue_;
    std::mutex debounceMutex_;
    std::shared_ptr<platform::DispatchWorkItem> debounceTimer_;
    const std::shared_ptr<platform::DispatchQueue> findUnsentQueue_;
    platform::DispatchSemaphore findUnsentSemaphore_{1};
    const std::shared_ptr<platform::DispatchQueue> networkQueue_;
    platform::DispatchSemaphore networkSemaphore_{1};
    // Whether the store may hold events without a session (at start: left by earlier runs), to be
    // given the session once one is open.
    std::atomic<bool> mayHaveEventsWithoutSession_{true};
};

}  // namespace brindlecue
