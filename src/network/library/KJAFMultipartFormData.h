#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue {

// What a multipart body builder offers to the closure that fills it.
class KJAFMultipartFormData {
public:
    virtual ~KJAFMultipartFormData() = default;

    // File name from the URL's last path component, MIME type from its extension.
    virtual bool appendPartWithFileURL(const platform::URL& fileURL, const std::string& name,
                                       std::optional<platform::Error>* error) = 0;
    // False (and nothing appended) for a URL that is not a file URL, a file that is not reachable
    // or whose attributes cannot be read.
    virtual bool appendPartWithFileURL(const platform::URL& fileURL, const std::string& name,
                                       const std::string& fileName, const std::string& mimeType,
                                       std::optional<platform::Error>* error) = 0;
    // The length is trusted.
    virtual void appendPartWithInputStream(std::shared_ptr<platform::InputStream> inputStream,
                                           const std::string& name, const std::string& fileName, int64_t length,
                                           const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(const platform::Data& data, const std::string& name,
                                        const std::string& fileName, const std::string& mimeType) = 0;
    virtual void appendPartWithFormData(const platform::Data& data, const std::string& name) = 0;
    virtual void appendPartWithHeaders(const platform::HTTPHeaderFields& headers, const platform::Data& body) = 0;
    // Bounds the bytes of one read of the body and pauses (seconds) after each part read.
    virtual void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) = 0;
};

}  // namespace brindlecue
