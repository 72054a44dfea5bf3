#include "feed/KJWKWebViewJavascriptBridgeJS.h"

namespace brindlecue {

const char* const KJWKWebViewJavascriptBridgeJS = R"JS(;(function () {
  if (window.KJWKWebViewJavascriptBridge) {
    return;
  }
  if (!window.onerror) {
    window.onerror = function (message, url, line) {
      console.log('KJWKWebViewJavascriptBridge: ERROR:' + message + '@' + url + ':' + line);
    };
  }

  var sendMessageQueue = [];
  var messageHandlers = {};
  var responseCallbacks = {};
  var uniqueId = 1;

  function registerHandler(handlerName, handler) {
    messageHandlers[handlerName] = handler;
  }

  function callHandler(handlerName, data, responseCallback) {
    if (arguments.length === 2 && typeof data === 'function') {
      responseCallback = data;
      data = null;
    }
    doSend({ handlerName: handlerName, data: data }, responseCallback);
  }

  function doSend(message, responseCallback) {
    if (responseCallback) {
      var callbackID = 'cb_' + (uniqueId++) + '_' + new Date().getTime();
      responseCallbacks[callbackID] = responseCallback;
      message.callbackID = callbackID;
    }
    sendMessageQueue.push(message);
    window.webkit.messageHandlers.iOS_Native_FlushMessageQueue.postMessage(null);
  }

  function fetchQueue() {
    var messageQueueString = JSON.stringify(sendMessageQueue);
    sendMessageQueue = [];
    return messageQueueString;
  }

  function handleMessageFromiOS(messageJSON) {
    var message = JSON.parse(messageJSON);
    if (message.responseID !== undefined) {
      var waiting = responseCallbacks[message.responseID];
      if (!waiting) {
        return;
      }
      delete responseCallbacks[message.responseID];
      waiting(message.responseData);
      return;
    }
    var responseCallback;
    if (message.callbackID !== undefined) {
      var callbackResponseId = message.callbackID;
      responseCallback = function (responseData) {
        doSend({ handlerName: message.handlerName, responseID: callbackResponseId, responseData: responseData });
      };
    }
    var handler = messageHandlers[message.handlerName];
    if (!handler) {
      console.log('KJWKWebViewJavascriptBridge: WARNING: no handler for message from iOS:', JSON.stringify(message));
      return;
    }
    handler(message.data, responseCallback);
  }

  window.KJWKWebViewJavascriptBridge = {
    registerHandler: registerHandler,
    callHandler: callHandler,
    _fetchQueue: fetchQueue,
    _handleMessageFromiOS: handleMessageFromiOS
  };

  setTimeout(function () {
    var callbacks = window.WKWVJBCallbacks;
    delete window.WKWVJBCallbacks;
    if (!callbacks) {
      return;
    }
    for (var i = 0; i < callbacks.length; i++) {
      callbacks[i](window.KJWKWebViewJavascriptBridge);
    }
  }, 0);
})();
)JS";

}  // namespace brindlecue
