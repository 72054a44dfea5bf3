#include "feed/KJWKWebViewJavascriptBridgeBase.h"

#include <utility>

#include "feed/KJWKWebViewJavascriptBridgeJS.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

using platform::Value;

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

}  // namespace

bool KJWKWebViewJavascriptBridgeBase::isLogEnable() const {
    std::lock_guard lock(mutex_);
    return isLogEnable_;
}

void KJWKWebViewJavascriptBridgeBase::setIsLogEnable(bool enable) {
    std::lock_guard lock(mutex_);
    isLogEnable_ = enable;
}

std::shared_ptr<KJWKWebViewJavascriptBridgeBaseDelegate> KJWKWebViewJavascriptBridgeBase::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void KJWKWebViewJavascriptBridgeBase::setDelegate(
    const std::shared_ptr<KJWKWebViewJavascriptBridgeBaseDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void KJWKWebViewJavascriptBridgeBase::reset() {
    std::lock_guard lock(mutex_);
    responseCallbacks_.clear();
    uniqueId_ = 0;
}

void KJWKWebViewJavascriptBridgeBase::registerHandler(const std::string& handlerName, Handler handler) {
    std::lock_guard lock(mutex_);
    messageHandlers_[handlerName] = std::move(handler);
}

std::optional<KJWKWebViewJavascriptBridgeBase::Handler> KJWKWebViewJavascriptBridgeBase::removeHandler(
    const std::string& handlerName) {
    std::lock_guard lock(mutex_);
    auto it = messageHandlers_.find(handlerName);
    if (it == messageHandlers_.end()) return std::nullopt;
    Handler handler = std::move(it->second);
    messageHandlers_.erase(it);
    return handler;
}

void KJWKWebViewJavascriptBridgeBase::send(const std::string& handlerName, const Value& data,
                                           Callback callback) {
    Value message = Value::dictionary({{"handlerName", handlerName}});
    if (!data.isAbsent()) message.set("data", data);
    if (callback) {
        std::string callbackID;
        {
            std::lock_guard lock(mutex_);
            callbackID = "native_iOS_cb_" + std::to_string(++uniqueId_);
            responseCallbacks_[callbackID] = std::move(callback);
        }
        message.set("callbackID", callbackID);
    }
    enqueue(message);
}

void KJWKWebViewJavascriptBridgeBase::flushMessageQueue(const std::string& messageQueueString) {
    auto messages = deserializeMessages(messageQueueString);
    if (!messages) return;
    std::weak_ptr<KJWKWebViewJavascriptBridgeBase> weak = weak_from_this();
    for (const Value& message : *messages) {
        if (!message.isDictionary()) continue;
        if (const std::string* responseID = message["responseID"].getString()) {
            if (Callback callback = takeResponseCallback(*responseID)) callback(message["responseData"]);
            continue;
        }
        Callback answer = [](const Value&) {};
        if (const Value& callbackID = message["callbackID"]; !callbackID.isAbsent()) {
            answer = [weak, callbackID](const Value& responseData) {
                auto self = weak.lock();
                if (!self) return;
                self->enqueue(Value::dictionary(
                    {{"responseID", callbackID},
                     {"responseData", responseData.isAbsent() ? Value::null() : responseData}}));
            };
        }
        const std::string* handlerName = message["handlerName"].getString();
        if (handlerName == nullptr) continue;
        std::optional<Handler> handler = handlerNamed(*handlerName);
        if (!handler || !*handler) continue;
        const Value& data = message["data"];
        (*handler)(data.isDictionary() ? data : Value(), answer);
    }
}

void KJWKWebViewJavascriptBridgeBase::injectBridgeScript() {
    if (auto target = delegate()) target->evaluateJavascript(KJWKWebViewJavascriptBridgeJS);
}

void KJWKWebViewJavascriptBridgeBase::enqueue(const Value& message) {
    dispatch(message);
}

void KJWKWebViewJavascriptBridgeBase::dispatch(const Value& message) {
    std::optional<std::string> json = serializeMessage(message);
    if (!json) return;
    std::string command =
        "KJWKWebViewJavascriptBridge._handleMessageFromiOS('" + escapeForScript(std::move(*json)) + "');";
    std::weak_ptr<KJWKWebViewJavascriptBridgeBaseDelegate> target;
    {
        std::lock_guard lock(mutex_);
        target = delegate_;
    }
    if (platform::isMainThread()) {
        if (auto live = target.lock()) live->evaluateJavascript(command);
        return;
    }
    platform::DispatchQueue::main()->async([target, command = std::move(command)] {
        if (auto live = target.lock()) live->evaluateJavascript(command);
    });
}

std::string KJWKWebViewJavascriptBridgeBase::escapeForScript(std::string text) {
    // Backslashes first, so that the backslashes the later steps add stay single.
    replaceAll(text, "\\", "\\\\");
    replaceAll(text, "\"", "\\\"");
    replaceAll(text, "'", "\\'");
    replaceAll(text, "\n", "\\n");
    replaceAll(text, "\r", "\\r");
    replaceAll(text, "\f", "\\f");
    replaceAll(text, "\u2028", "\\u2028");
    replaceAll(text, "\u2029", "\\u2029");
    return text;
}

std::optional<std::string> KJWKWebViewJavascriptBridgeBase::serializeMessage(const Value& message) const {
    return message.toJSON(false);
}

std::optional<std::vector<Value>> KJWKWebViewJavascriptBridgeBase::deserializeMessages(
    const std::string& messageJSON) const {
    std::optional<Value> parsed = Value::fromJSON(messageJSON);
    if (!parsed || !parsed->isArray() || parsed->count() == 0) return std::nullopt;
    return *parsed->getArray();
}

std::optional<KJWKWebViewJavascriptBridgeBase::Handler> KJWKWebViewJavascriptBridgeBase::handlerNamed(
    const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = messageHandlers_.find(name);
    if (it == messageHandlers_.end()) return std::nullopt;
    return it->second;
}

KJWKWebViewJavascriptBridgeBase::Callback KJWKWebViewJavascriptBridgeBase::takeResponseCallback(
    const std::string& responseID) {
    std::lock_guard lock(mutex_);
    auto it = responseCallbacks_.find(responseID);
    if (it == responseCallbacks_.end()) return nullptr;
    Callback callback = std::move(it->second);
    responseCallbacks_.erase(it);
    return callback;
}

}  // namespace brindlecue
