#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "network/library/KJAFMultipartFormData.h"
#include "platform/Error.h"
#include "platform/KeyedArchiver.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue {

inline constexpr const char* KJAFURLRequestSerializationErrorDomain = "com.quernwick.error.serialization.request";
// The platform's UTF-8 string encoding, the only one the serializers write.
inline constexpr uint64_t KJAFUTF8StringEncoding = 4;

// Turns a request and its parameters into the request to send.
class KJAFURLRequestSerialization {
public:
    virtual ~KJAFURLRequestSerialization() = default;
    // None when the parameters cannot be encoded at all; *error (when given) says why.
    virtual std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
                                                                            const platform::Value& parameters,
                                                                            std::optional<platform::Error>* error) = 0;
};

// Builds requests with default headers, the explicitly set request settings and parameters
// encoded into the query (GET, HEAD, DELETE) or as a form body. A dictionary holding "KJ_BODY"
// has that text used verbatim instead of its encoding. Headers and settings may be changed while
// requests are being built on other threads. Header names match without regard to case.
//
// A copy (and an archive) keeps the default headers and the query style (a copy also the query
// closure); settings, encoding and the URL methods return to their defaults.
class KJAFHTTPRequestSerializer : public KJAFURLRequestSerialization, public platform::SecureCoding {
public:
    using QueryStringSerialization = std::function<std::optional<std::string>(
        const platform::URLRequest& request, const platform::Value& parameters, std::optional<platform::Error>* error)>;

    static std::shared_ptr<KJAFHTTPRequestSerializer> serializer();
    // With the default headers "Accept-Language" and "User-Agent".
    KJAFHTTPRequestSerializer();

    uint64_t stringEncoding() const;
    void setStringEncoding(uint64_t encoding);

    // The six request settings. Each is copied onto new requests only once it has been set; setting
    // none returns to leaving the request's own value alone.
    bool allowsCellularAccess() const;
    void setAllowsCellularAccess(std::optional<bool> allows);
    platform::URLRequest::CachePolicy cachePolicy() const;
    void setCachePolicy(std::optional<platform::URLRequest::CachePolicy> policy);
    bool HTTPShouldHandleCookies() const;
    void setHTTPShouldHandleCookies(std::optional<bool> handle);
    bool HTTPShouldUsePipelining() const;
    void setHTTPShouldUsePipelining(std::optional<bool> pipelining);
    uint64_t networkServiceType() const;
    void setNetworkServiceType(std::optional<uint64_t> type);
    double timeoutInterval() const;
    void setTimeoutInterval(std::optional<double> seconds);

    // A copy of the default headers.
    platform::HTTPHeaderFields HTTPRequestHeaders() const;
    // No value removes the header.
    void setValue(const std::optional<std::string>& value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    // "Authorization: Basic <base64 of user:password>".
    void setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password);
    void clearAuthorizationHeader();

    // Upper-case methods whose parameters go into the URL; {"GET", "HEAD", "DELETE"} by default.
    std::set<std::string> HTTPMethodsEncodingParametersInURI() const;
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods);

    // Style 0 is the default (and only) style; a closure replaces the encoding of query text.
    void setQueryStringSerializationWithStyle(uint64_t style);
    void setQueryStringSerializationWithBlock(QueryStringSerialization block);

    // The request for the URL text (without a URL when the text is not one), with the method, the
    // set settings, the default headers and the encoded parameters; none when encoding failed.
    std::optional<platform::URLRequest> requestWithMethod(const std::string& method, const std::string& URLString,
                                                          const platform::Value& parameters,
                                                          std::optional<platform::Error>* error);
    // The parameters as form fields, then whatever the block appends, as a streamed multipart body.
    std::optional<platform::URLRequest> multipartFormRequestWithMethod(
        const std::string& method, const std::string& URLString, const platform::Value& parameters,
        const std::function<void(KJAFMultipartFormData&)>& block, std::optional<platform::Error>* error);
    // Writes the request's body stream to the file on a global queue and calls the handler on the
    // main queue with the error, if any; returns the request without its body stream at once.
    platform::URLRequest requestWithMultipartFormRequest(
        const platform::URLRequest& request, const platform::URL& fileURL,
        std::function<void(std::optional<platform::Error>)> completionHandler);

    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
                                                                    const platform::Value& parameters,
                                                                    std::optional<platform::Error>* error) override;

    virtual std::shared_ptr<KJAFHTTPRequestSerializer> copy() const;
    std::vector<std::string> archivedClassNames() const override { return {"KJAFHTTPRequestSerializer"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Restores what encodeWithCoder wrote onto a freshly made serializer.
    virtual void decodeFromCoder(platform::KeyedUnarchiver& coder);

protected:
    // Gives the copy the headers, the query style and the query closure.
    void copyInto(KJAFHTTPRequestSerializer& copy) const;
    // A copy of the request with every default header it does not carry itself.
    platform::URLRequest requestWithDefaultHeaders(const platform::URLRequest& request) const;
    bool encodesParametersInURI(const std::string& method) const;

private:
    struct Settings {
        std::optional<bool> allowsCellularAccess;
        std::optional<platform::URLRequest::CachePolicy> cachePolicy;
        std::optional<bool> HTTPShouldHandleCookies;
        std::optional<bool> HTTPShouldUsePipelining;
        std::optional<uint64_t> networkServiceType;
        std::optional<double> timeoutInterval;
    };

    mutable std::mutex mutex_;
    uint64_t stringEncoding_ = KJAFUTF8StringEncoding;
    Settings settings_;
    platform::HTTPHeaderFields headers_;
    std::set<std::string> methodsInURI_{"GET", "HEAD", "DELETE"};
    uint64_t queryStringSerializationStyle_ = 0;
    QueryStringSerialization queryStringSerialization_;
};

}  // namespace brindlecue
