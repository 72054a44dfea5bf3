#pragma once

#include <memory>
#include <mutex>

#include "config/BLQIAppDetailsProvider.h"
#include "facade/BLQIConfigEventManager.h"
#include "network/BLQIWebSocketConnectionInitiator.h"
#include "network/BLQIWebSocketManagerDelegate.h"

namespace brindlecue {

// Listens on the shared websocket for "config" messages and hands each one, whole, to its
// delegate (the configuration manager); websocket errors go to the delegate too. Without a
// delegate both are dropped. It never connects the websocket itself.
//
// The delegate, the websocket client and the event type are guarded: messages arrive on the
// client's delegate queue while the facade sets the delegate from the main thread. The delegate
// is called without any lock held.
class BLQConfigEventManagerWebSocket final : public BLQIConfigEventManager,
                                             public BLQIWebSocketManagerDelegate,
                                             public BLQIWebSocketConnectionInitiator {
public:
    // Registers the new manager with the client as the listener of "config" messages; the client
    // keeps it from then on.
    static std::shared_ptr<BLQConfigEventManagerWebSocket> create(
        std::shared_ptr<BLQIAppDetailsProvider> appDetails,
        std::shared_ptr<BLQIWebSocketManager> webSocketManager);

    BLQConfigEventManagerWebSocket(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                                   std::shared_ptr<BLQIWebSocketManager> webSocketManager);

    std::shared_ptr<BLQIConfigEventDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIConfigEventDelegate> delegate) override;

    BLQWebSocketEventType eventType() const override;
    void setEventType(BLQWebSocketEventType type);
    void receivedJSON(const platform::Value& json) override;
    void receivedError(const platform::Error& error) override;

    std::shared_ptr<BLQIWebSocketManager> webSocketManager() const override;
    void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) override;

private:
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    mutable std::mutex mutex_;
    std::shared_ptr<BLQIWebSocketManager> webSocketManager_;
    std::shared_ptr<BLQIConfigEventDelegate> delegate_;
    BLQWebSocketEventType eventType_ = BLQWebSocketEventType::config;
};

}  // namespace brindlecue
