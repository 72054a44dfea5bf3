#pragma once

#include <memory>

#include "config/BLQIInstallRegistrationDelegate.h"
#include "network/BLQIInstallNetworkRequester.h"
#include "network/BLQWebsocketNetworkRequester.h"

namespace brindlecue {

// Sends the install registration as a "register" message over the websocket; the server's
// "register" messages are the answers.
class BLQInstallWebsocketNetworkRequester final : public BLQIInstallNetworkRequester,
                                                  public BLQWebsocketNetworkRequester {
public:
    // Registers the new requester with the client, which keeps it from then on.
    static std::shared_ptr<BLQInstallWebsocketNetworkRequester> create(
        std::shared_ptr<BLQIWebSocketManager> webSocketManager,
        std::shared_ptr<BLQIConfigManager> configManager);

    // Kept for the facade; no operation of the requester reads it.
    std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const;
    void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate> delegate);

    void sendInstallRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                            BLQRequestFailureBlock failure) override;
    void buildInstallMessage(const BLQInstallDTO& install) { buildMessage(install); }

    BLQInstallWebsocketNetworkRequester(std::shared_ptr<BLQIWebSocketManager> webSocketManager,
                                        std::shared_ptr<BLQIConfigManager> configManager);

protected:
    BLQWebSocketEventModel::Payload payload(const BLQInstallDTO& install, int64_t time,
                                            int64_t utcOffset) const override;
    void onAnswerWithoutHostURL(const std::string& host, const BLQRequestFailureBlock& failure) override;

private:
    mutable std::mutex delegateMutex_;
    std::shared_ptr<BLQIInstallRegistrationDelegate> delegate_;
};

}  // namespace brindlecue
