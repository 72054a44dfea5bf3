#include "network/BLQIWebSocketConnectionInitiator.h"

#include <cctype>
#include <string_view>

#include "platform/foundation/URL.h"

namespace brindlecue {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

void BLQIWebSocketConnectionInitiator::connectWebSocket(const std::string& host, const std::string& path) {
    // Only the scheme changes: an "http" further on (in a host name) is part of the address.
    std::string text = host;
    if (startsWithNoCase(text, "https://")) {
        text = "wss" + text.substr(5);
    } else if (startsWithNoCase(text, "http://")) {
        text = "ws" + text.substr(4);
    }
    auto url = platform::URL::fromString(text + path);
    if (!url) return;
    auto manager = webSocketManager();
    if (!manager) return;
    manager->connect(
        platform::URLRequest(*url, platform::URLRequest::CachePolicy::UseProtocolCachePolicy, 60.0));
}

}  // namespace brindlecue
