#pragma once

#include <memory>
#include <string>

#include "network/library/KJAFMultipartBodyStream.h"
#include "network/library/KJAFMultipartFormData.h"

namespace brindlecue {

// Builds a "multipart/form-data" body for a request, as a stream that reads files from disk
// while the body is sent.
class KJAFStreamingMultipartFormData final : public KJAFMultipartFormData {
public:
    KJAFStreamingMultipartFormData(platform::URLRequest request, uint64_t stringEncoding);

    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<KJAFMultipartBodyStream>& bodyStream() const { return bodyStream_; }

    bool appendPartWithFileURL(const platform::URL& fileURL, const std::string& name,
                               std::optional<platform::Error>* error) override;
    bool appendPartWithFileURL(const platform::URL& fileURL, const std::string& name, const std::string& fileName,
                               const std::string& mimeType, std::optional<platform::Error>* error) override;
    void appendPartWithInputStream(std::shared_ptr<platform::InputStream> inputStream, const std::string& name,
                                   const std::string& fileName, int64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(const platform::Data& data, const std::string& name, const std::string& fileName,
                                const std::string& mimeType) override;
    void appendPartWithFormData(const platform::Data& data, const std::string& name) override;
    void appendPartWithHeaders(const platform::HTTPHeaderFields& headers, const platform::Data& body) override;
    void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) override;

    // The request with the body stream and its "Content-Type" and "Content-Length"; unchanged when
    // no part was appended.
    platform::URLRequest requestByFinalizingMultipartFormData();

    // The MIME type registered for a path extension, "application/octet-stream" when there is none.
    static std::string MIMETypeForPathExtension(const std::string& extension);

private:
    void append(platform::HTTPHeaderFields headers, KJAFHTTPBodyPart::Body body, uint64_t length);

    platform::URLRequest request_;
    uint64_t stringEncoding_;
    std::string boundary_;
    std::shared_ptr<KJAFMultipartBodyStream> bodyStream_;
};

}  // namespace brindlecue
