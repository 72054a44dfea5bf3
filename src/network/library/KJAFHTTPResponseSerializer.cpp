#include "network/library/KJAFHTTPResponseSerializer.h"

#include "foundation/KJLog.h"
#include "network/library/KJMossgroveStrings.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

std::shared_ptr<KJAFHTTPResponseSerializer> KJAFHTTPResponseSerializer::serializer() {
    return std::make_shared<KJAFHTTPResponseSerializer>();
}

std::set<int> KJAFHTTPResponseSerializer::defaultStatusCodes() {
    std::set<int> codes;
    for (int code = 200; code < 300; ++code) codes.insert(code);
    return codes;
}

std::optional<Error> KJAFErrorWithUnderlyingError(const std::optional<Error>& error,
                                                  const std::optional<Error>& underlyingError) {
    if (!error) return underlyingError;
    if (!underlyingError || error->underlyingError()) return error;
    return Error(error->domain(), error->code(), error->userInfo(), std::make_shared<const Error>(*underlyingError));
}

bool KJAFErrorOrUnderlyingErrorHasCodeInDomain(const std::optional<Error>& error, int64_t code,
                                               const std::string& domain) {
    const Error* current = error ? &*error : nullptr;
    while (current) {
        if (current->domain() == domain && current->code() == code) return true;
        current = current->underlyingError().get();
    }
    return false;
}

bool KJAFHTTPResponseSerializer::validateResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                  const std::optional<platform::Data>& data,
                                                  std::optional<Error>* error) const {
    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
    if (!http) return true;

    bool valid = true;
    std::optional<Error> validationError;
    bool hasBody = data && !data->empty();
    auto userInfoFor = [&](const std::string& description) {
        Value info = Value::dictionary();
        info.set(Error::kLocalizedDescriptionKey, description);
        info.set(platform::URLError::kFailingURLKey, http->url()->absoluteString());
        info.set(KJMossgroveOperationFailingURLResponseErrorKey, http->description());
        if (data) info.set(KJMossgroveOperationFailingURLResponseDataErrorKey, *data);
        return info;
    };

    const std::optional<std::string>& mime = http->mimeType();
    if (acceptableContentTypes && !(mime && acceptableContentTypes->count(*mime)) && !(!mime && !hasBody)) {
        if (hasBody && http->url()) {
            std::string description = KJLogFormat(
                KJMossgroveLocalizedString("Request failed: unacceptable content-type: %@"), {mime.value_or("(null)")});
            validationError = Error(KJAFURLResponseSerializationErrorDomain, platform::URLError::CannotDecodeContentData,
                                    userInfoFor(description));
        }
        valid = false;
    }

    if (acceptableStatusCodes && !acceptableStatusCodes->count(http->statusCode()) && http->url()) {
        std::string description =
            KJLogFormat(KJMossgroveLocalizedString("Request failed: %@ (%ld)"),
                        {platform::HTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                         std::to_string(http->statusCode())});
        Error statusError(KJAFURLResponseSerializationErrorDomain, platform::URLError::BadServerResponse,
                          userInfoFor(description));
        validationError = KJAFErrorWithUnderlyingError(statusError, validationError);
        valid = false;
    }

    if (!valid && error) *error = validationError;
    return valid;
}

Value KJAFHTTPResponseSerializer::responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                            const std::optional<platform::Data>& data,
                                                            std::optional<Error>* error) {
    validateResponse(response, data, error);
    return data ? Value(*data) : Value();
}

}  // namespace brindlecue
