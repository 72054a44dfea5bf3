#pragma once

#include <cstdint>

namespace brindlecue::platform {

// The web view's error domain, the codes the stand-in reports and the user-info keys of a
// JavaScript exception.
struct WKError {
    static constexpr const char* kDomain = "WKErrorDomain";
    static constexpr const char* kJavaScriptExceptionMessageKey = "WKJavaScriptExceptionMessage";
    static constexpr const char* kJavaScriptExceptionLineNumberKey = "WKJavaScriptExceptionLineNumber";
    static constexpr const char* kJavaScriptExceptionSourceURLKey = "WKJavaScriptExceptionSourceURL";

    enum Code : int64_t {
        Unknown = 1,
        JavaScriptExceptionOccurred = 4,
        JavaScriptResultTypeIsUnsupported = 5,
    };
};

}  // namespace brindlecue::platform
