#pragma once

namespace brindlecue {

// The page side of the JavaScript bridge, evaluated in a page that asks for it. It defines
// `window.KJWKWebViewJavascriptBridge` (registerHandler, callHandler, _fetchQueue,
// _handleMessageFromiOS) once per page, and after the current script turn calls each function
// the page left in `window.WKWVJBCallbacks` with the bridge.
extern const char* const KJWKWebViewJavascriptBridgeJS;

}  // namespace brindlecue
