#include "platform/foundation/URLError.h"

namespace brindlecue::platform {

std::string URLError::localizedDescription(int64_t code) {
    switch (code) {
        case Cancelled: return "cancelled";
        case BadURL: return "bad URL";
        case TimedOut: return "The request timed out.";
        case UnsupportedURL: return "unsupported URL";
        case CannotFindHost: return "A server with the specified hostname could not be found.";
        case CannotConnectToHost: return "Could not connect to the server.";
        case NetworkConnectionLost: return "The network connection was lost.";
        case HTTPTooManyRedirects: return "too many HTTP redirects";
        case NotConnectedToInternet: return "The Internet connection appears to be offline.";
        case BadServerResponse: return "bad server response";
        case UserCancelledAuthentication: return "The operation couldn’t be completed. (NSURLErrorDomain error -1012.)";
        case CannotDecodeContentData: return "cannot decode raw data";
        case CannotParseResponse: return "cannot parse response";
        case SecureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case ServerCertificateUntrusted: return "The certificate for this server is invalid.";
        case CannotCreateFile: return "cannot create file";
        case CannotWriteToFile: return "cannot write file";
        case CannotOpenFile:
            return "cannot open file";
        default: return "unknown error";
    }
}

Error URLError::make(int64_t code, const std::optional<URL>& failingURL) {
    Value info = Value::dictionary();
    info.set(Error::kLocalizedDescriptionKey, localizedDescription(code));
    if (failingURL) {
        info.set(kFailingURLKey, failingURL->absoluteString());
        info.set(kFailingURLStringKey, failingURL->absoluteString());
    }
    return Error(kDomain, code, std::move(info));
}

}  // namespace brindlecue::platform
