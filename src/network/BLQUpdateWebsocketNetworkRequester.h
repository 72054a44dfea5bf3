#pragma once

#include <memory>

#include "config/BLQIUpdateRegistrationDelegate.h"
#include "network/BLQIUpdateNetworkRequester.h"
#include "network/BLQWebsocketNetworkRequester.h"

namespace brindlecue {

// Sends the install update as an "update" message over the websocket; the server's "update"
// messages are the answers.
class BLQUpdateWebsocketNetworkRequester final : public BLQIUpdateNetworkRequester,
                                                 public BLQWebsocketNetworkRequester {
public:
    // Registers the new requester with the client, which keeps it from then on.
    static std::shared_ptr<BLQUpdateWebsocketNetworkRequester> create(
        std::shared_ptr<BLQIWebSocketManager> webSocketManager,
        std::shared_ptr<BLQIConfigManager> configManager);

    // Kept for the facade; no operation of the requester reads it.
    std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate() const;
    void setDelegate(std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate);

    void sendInstallUpdateRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                                  BLQRequestFailureBlock failure) override;
    void buildUpdateMessage(const BLQInstallDTO& install) { buildMessage(install); }

    BLQUpdateWebsocketNetworkRequester(std::shared_ptr<BLQIWebSocketManager> webSocketManager,
                                       std::shared_ptr<BLQIConfigManager> configManager);

protected:
    BLQWebSocketEventModel::Payload payload(const BLQInstallDTO& install, int64_t time,
                                            int64_t utcOffset) const override;
    void onAnswerWithoutHostURL(const std::string& host, const BLQRequestFailureBlock& failure) override;

private:
    mutable std::mutex delegateMutex_;
    std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate_;
};

}  // namespace brindlecue
