#include "platform/webkit/WKUserContentController.h"

namespace brindlecue::platform {

bool WKUserContentController::addScriptMessageHandler(std::shared_ptr<WKScriptMessageHandler> handler,
                                                      const std::string& name) {
    if (!handler || handlers_.count(name) > 0) return false;
    handlers_.emplace(name, std::move(handler));
    return true;
}

void WKUserContentController::removeScriptMessageHandlerForName(const std::string& name) {
    handlers_.erase(name);
}

void WKUserContentController::removeAllScriptMessageHandlers() {
    handlers_.clear();
}

std::shared_ptr<WKScriptMessageHandler> WKUserContentController::scriptMessageHandler(
    const std::string& name) const {
    auto it = handlers_.find(name);
    return it == handlers_.end() ? nullptr : it->second;
}

void WKUserContentController::addUserScript(WKUserScript script) {
    userScripts_.push_back(std::move(script));
}

void WKUserContentController::removeAllUserScripts() {
    userScripts_.clear();
}

}  // namespace brindlecue::platform
