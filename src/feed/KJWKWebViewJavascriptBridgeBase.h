#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace brindlecue {

// What evaluates JavaScript in the page for the bridge (the bridge itself).
class KJWKWebViewJavascriptBridgeBaseDelegate {
public:
    virtual ~KJWKWebViewJavascriptBridgeBaseDelegate() = default;
    virtual void evaluateJavascript(const std::string& javascript) = 0;
};

// The message registry and dispatcher of a JavaScript bridge. Messages are JSON objects:
// "handlerName", "data", "callbackID" on a call; "responseID" and "responseData" on an answer.
//
// Calls to the page get the ids "native_iOS_cb_1", "native_iOS_cb_2", ... (again from 1 after a
// reset); a message travels as "KJWKWebViewJavascriptBridge._handleMessageFromiOS('<JSON>');"
// with the JSON escaped for a single-quoted script string, evaluated on the main thread.
//
// A flushed batch from the page is handled message by message; a message that is no object, has
// no text "handlerName" or names no registered handler is passed over and the rest of the batch
// still runs. An answer runs its waiting callback once.
//
// Handlers are called on the thread that flushes (the main thread). The maps and the counter are
// guarded: a call may start on any thread.
class KJWKWebViewJavascriptBridgeBase : public std::enable_shared_from_this<KJWKWebViewJavascriptBridgeBase> {
public:
    // The answer to a call: a value, absent for none.
    using Callback = std::function<void(const platform::Value& responseData)>;
    // A handler the page may call: the call's data when it is a JSON object (else absent), and
    // the answer callback.
    using Handler = std::function<void(const platform::Value& data, const Callback& responseCallback)>;

    virtual ~KJWKWebViewJavascriptBridgeBase() = default;

    bool isLogEnable() const;
    void setIsLogEnable(bool enable);
    std::shared_ptr<KJWKWebViewJavascriptBridgeBaseDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<KJWKWebViewJavascriptBridgeBaseDelegate>& delegate);

    // Forgets the calls waiting for an answer; ids start from 1 again. Handlers stay.
    virtual void reset();
    // Registers or replaces the handler of a name; removes and returns one.
    void registerHandler(const std::string& handlerName, Handler handler);
    std::optional<Handler> removeHandler(const std::string& handlerName);
    // One call to the page's handler; data absent for none, callback empty for no answer wanted.
    virtual void send(const std::string& handlerName, const platform::Value& data = platform::Value(),
                      Callback callback = nullptr);
    // Runs the messages of the page's queue text.
    virtual void flushMessageQueue(const std::string& messageQueueString);
    // Has the delegate evaluate the bridge's page script.
    virtual void injectBridgeScript();
    // Every message is dispatched at once.
    virtual void enqueue(const platform::Value& message);
    // Serialises, escapes and delivers one message to the page.
    virtual void dispatch(const platform::Value& message);

    // The JSON text made safe inside a single-quoted script string: backslash, double quote,
    // single quote, line feed, carriage return, form feed, U+2028 and U+2029 escaped, in that
    // order.
    static std::string escapeForScript(std::string text);

private:
    std::optional<std::string> serializeMessage(const platform::Value& message) const;
    std::optional<std::vector<platform::Value>> deserializeMessages(const std::string& messageJSON) const;
    std::optional<Handler> handlerNamed(const std::string& name) const;
    Callback takeResponseCallback(const std::string& responseID);

    mutable std::mutex mutex_;
    bool isLogEnable_ = false;
    std::weak_ptr<KJWKWebViewJavascriptBridgeBaseDelegate> delegate_;
    std::map<std::string, Callback> responseCallbacks_;
    std::map<std::string, Handler> messageHandlers_;
    int64_t uniqueId_ = 0;
};

}  // namespace brindlecue
