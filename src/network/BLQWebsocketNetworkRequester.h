#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "config/BLQIConfigManager.h"
#include "config/BLQInstallDTO.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIWebSocketConnectionInitiator.h"
#include "network/BLQIWebSocketManagerDelegate.h"
#include "network/BLQIWebSocketMessageSender.h"
#include "network/BLQWebSocketEventModel.h"

namespace brindlecue {

// What the install and update requesters over the websocket share. A request stores its callbacks
// (replacing those of the request before), connects when the client is not connected and sends
// the message at once. Every later message of the requester's type goes to the stored success
// callback with the host URL; messages are not matched to requests, and there is no time-out.
// Send outcomes are only logged. The client holds a requester weakly, and from a request until
// its answer strongly: whoever made the requester may let go of it once it has asked.
class BLQWebsocketNetworkRequester : public BLQIWebSocketManagerDelegate,
                                     public BLQIWebSocketConnectionInitiator,
                                     public BLQIWebSocketMessageSender,
                                     public BLQILoggable {
public:
    std::shared_ptr<BLQIWebSocketManager> webSocketManager() const override;
    void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) override;
    // The client routes to the current value.
    BLQWebSocketEventType eventType() const override;
    void setEventType(BLQWebSocketEventType type);

    void receivedJSON(const platform::Value& json) override;
    void receivedError(const platform::Error& error) override;
    void onMessageSent() override;
    void onMessageSendFailed() override;

protected:
    // prefix: "Install" or "Update"; noun: "install" or "update", as in the log lines.
    BLQWebsocketNetworkRequester(std::string prefix, std::string noun, BLQWebSocketEventType type,
                                 std::shared_ptr<BLQIWebSocketManager> webSocketManager,
                                 std::shared_ptr<BLQIConfigManager> configManager);

    void request(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                 BLQRequestFailureBlock failure);
    // Checks the record, builds the envelope and sends it; a record or envelope that will not do is
    // logged and nothing is sent.
    void buildMessage(const BLQInstallDTO& install);

    // The payload for a checked record, the time in whole seconds since 1970 and the UTC offset in
    // tenths of hours.
    virtual BLQWebSocketEventModel::Payload payload(const BLQInstallDTO& install, int64_t time,
                                                    int64_t utcOffset) const = 0;
    // An answer arrived and the configured host makes no URL.
    virtual void onAnswerWithoutHostURL(const std::string& host, const BLQRequestFailureBlock& failure) = 0;

    const std::string& prefix() const { return prefix_; }

private:
    const std::string prefix_;
    const std::string noun_;
    const std::shared_ptr<BLQIConfigManager> configManager_;

    mutable std::mutex mutex_;
    BLQRequestSuccessBlock successBlock_;
    BLQRequestFailureBlock failureBlock_;
    std::shared_ptr<BLQIWebSocketManager> webSocketManager_;
    BLQWebSocketEventType eventType_;
};

}  // namespace brindlecue
