#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/foundation/URL.h"

namespace brindlecue::platform {

// The platform's URL loading error domain, its codes and its user-info keys.
struct URLError {
    static constexpr const char* kDomain = "NSURLErrorDomain";
    // The failing URL's text under both keys (a Value cannot hold a URL object).
    static constexpr const char* kFailingURLKey = "NSErrorFailingURLKey";
    static constexpr const char* kFailingURLStringKey = "NSErrorFailingURLStringKey";

    enum Code : int64_t {
        Unknown = -1,
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        HTTPTooManyRedirects = -1007,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        UserCancelledAuthentication = -1012,
        CannotDecodeContentData = -1016,
        CannotParseResponse = -1017,
        SecureConnectionFailed = -1200,
        ServerCertificateUntrusted = -1202,
        CannotCreateFile = -3000,
        CannotOpenFile = -3001,
        CannotWriteToFile = -3003,
    };

    // An error of the domain with the code's localized description and, when given, the failing URL.
    static Error make(int64_t code, const std::optional<URL>& failingURL = std::nullopt);
    static std::string localizedDescription(int64_t code);
};

}  // namespace brindlecue::platform
