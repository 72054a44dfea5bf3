#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/Error.h"
#include "platform/KeyedArchiver.h"
#include "platform/Value.h"
#include "platform/foundation/URLResponse.h"

namespace brindlecue {

inline constexpr const char* KJAFURLResponseSerializationErrorDomain = "com.quernwick.error.serialization.response";
// User-info keys of validation errors: the failing response (its description text; a user-info
// value holds no objects) and the answer's body data.
inline constexpr const char* KJMossgroveOperationFailingURLResponseErrorKey =
    "com.quernwick.serialization.response.error.response";
inline constexpr const char* KJMossgroveOperationFailingURLResponseDataErrorKey =
    "com.quernwick.serialization.response.error.data";

// Turns an answer into an object. Called off the main thread, possibly for several answers at
// once; serializers change no state while they answer. Serializers are copied and archived
// (secure coding) with their settings.
class KJAFURLResponseSerialization : public platform::SecureCoding {
public:
    virtual ~KJAFURLResponseSerialization() = default;
    // The object (absent for none); *error may be set also when an object is returned.
    virtual platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                      const std::optional<platform::Data>& data,
                                                      std::optional<platform::Error>* error) = 0;
    // Serializers whose answer is a platform object rather than a value (the XML parser
    // serializer) answer here, and with nothing from responseObjectForResponse; others give null.
    virtual std::shared_ptr<void> platformObjectForResponse(
        const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
        std::optional<platform::Error>* error) {
        return nullptr;
    }
    virtual bool answersWithPlatformObject() const { return false; }
    virtual std::shared_ptr<KJAFURLResponseSerialization> copy() const = 0;
};

// Validates status and MIME type of HTTP answers and hands the body on as data.
//
// A copy of this class keeps the acceptable codes and types; a copy of a derived serializer is a
// fresh one of its class (its own defaults) with only the derived class's own settings. An
// archive keeps every setting.
class KJAFHTTPResponseSerializer : public KJAFURLResponseSerialization {
public:
    static std::shared_ptr<KJAFHTTPResponseSerializer> serializer();
    virtual ~KJAFHTTPResponseSerializer() = default;

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override { return {"KJAFHTTPResponseSerializer"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Restores what encodeWithCoder wrote onto a freshly made serializer.
    void decodeFromCoder(platform::KeyedUnarchiver& coder);

    uint64_t stringEncoding = 4;
    // None accepts every status; 200 to 299 by default.
    std::optional<std::set<int>> acceptableStatusCodes = defaultStatusCodes();
    // None accepts every MIME type (the default here).
    std::optional<std::set<std::string>> acceptableContentTypes;

    // Whether the answer is acceptable. When it is not, *error receives the reason, which may be
    // none (a wrong MIME type with an empty body, or an answer without a URL).
    bool validateResponse(const std::shared_ptr<platform::URLResponse>& response,
                          const std::optional<platform::Data>& data, std::optional<platform::Error>* error) const;

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;

    static std::set<int> defaultStatusCodes();
};

// The error with the underlying error beneath it (either may be none); an error that already has
// an underlying error is returned unchanged.
std::optional<platform::Error> KJAFErrorWithUnderlyingError(const std::optional<platform::Error>& error,
                                                            const std::optional<platform::Error>& underlyingError);
// Whether the error, or one beneath it, has the code in the domain.
bool KJAFErrorOrUnderlyingErrorHasCodeInDomain(const std::optional<platform::Error>& error, int64_t code,
                                               const std::string& domain);

}  // namespace brindlecue
