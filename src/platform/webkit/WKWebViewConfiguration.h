#pragma once

#include <memory>

#include "platform/webkit/WKUserContentController.h"

namespace brindlecue::platform {

// What a web view is made with: its user content controller (a new one unless replaced).
class WKWebViewConfiguration {
public:
    const std::shared_ptr<WKUserContentController>& userContentController() const {
        return userContentController_;
    }
    void setUserContentController(std::shared_ptr<WKUserContentController> controller) {
        if (controller) userContentController_ = std::move(controller);
    }

private:
    std::shared_ptr<WKUserContentController> userContentController_ =
        std::make_shared<WKUserContentController>();
};

}  // namespace brindlecue::platform
