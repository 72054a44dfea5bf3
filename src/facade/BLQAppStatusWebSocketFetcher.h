#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "facade/BLQIAppStatusFetcher.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIWebSocketConnectionInitiator.h"
#include "network/BLQIWebSocketManagerDelegate.h"

namespace brindlecue {

// Waits for the server to push the app-status document as a "status" message over the shared
// websocket. A fetch only keeps the handler and connects the websocket when it is not connected;
// it sends nothing. Every "status" message is decoded as a document, as a whole, and goes to the
// handler kept last (none: logged and dropped). Not wired into the library by default; the HTTP
// fetcher is.
//
// The handler and the websocket client are guarded: fetches come from the app-status queue,
// messages from the client's delegate queue. The handler is called without any lock held.
class BLQAppStatusWebSocketFetcher final : public BLQIAppStatusFetcher,
                                           public BLQIWebSocketManagerDelegate,
                                           public BLQIWebSocketConnectionInitiator,
                                           public BLQILoggable {
public:
    static constexpr const char* kEndpoint = "/ws";

    // Registers the new fetcher with the client as the listener of "status" messages.
    static std::shared_ptr<BLQAppStatusWebSocketFetcher> create(
        std::shared_ptr<BLQIAppDetailsProvider> appDetails,
        std::shared_ptr<BLQIWebSocketManager> webSocketManager);

    BLQAppStatusWebSocketFetcher(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                                 std::shared_ptr<BLQIWebSocketManager> webSocketManager);

    // Connects to the host with its web scheme turned into the websocket one, and "/ws" appended.
    void fetchAppStatus(const std::string& host, std::shared_ptr<BLQIAppStatusFetchHandler> handler) override;

    BLQWebSocketEventType eventType() const override { return BLQWebSocketEventType::status; }
    void receivedJSON(const platform::Value& json) override;
    // Errors of the channel are not a fetch outcome: ignored.
    void receivedError(const platform::Error& error) override;

    std::shared_ptr<BLQIWebSocketManager> webSocketManager() const override;
    void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) override;

private:
    std::shared_ptr<BLQIAppStatusFetchHandler> handler() const;

    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    mutable std::mutex mutex_;
    std::shared_ptr<BLQIWebSocketManager> webSocketManager_;
    std::shared_ptr<BLQIAppStatusFetchHandler> handler_;
};

}  // namespace brindlecue
