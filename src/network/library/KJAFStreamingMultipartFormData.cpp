#include "network/library/KJAFStreamingMultipartFormData.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>

#include "network/library/KJAFHTTPRequestSerializer.h"
#include "network/library/KJMossgroveStrings.h"

namespace brindlecue {

using platform::Error;

namespace {

std::string createMultipartFormBoundary() {
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    char text[32];
    std::snprintf(text, sizeof text, "Boundary+%08X%08X", static_cast<unsigned>(generator()),
                  static_cast<unsigned>(generator()));
    return text;
}

void fail(std::optional<Error>* error, Error value) {
    if (error) *error = std::move(value);
}

Error requestError(const std::string& reason) {
    platform::Value info = platform::Value::dictionary();
    info.set(Error::kLocalizedFailureReasonKey, KJMossgroveLocalizedString(reason));
    return Error(KJAFURLRequestSerializationErrorDomain, -1000, info);
}

}  // namespace

KJAFStreamingMultipartFormData::KJAFStreamingMultipartFormData(platform::URLRequest request, uint64_t stringEncoding)
    : request_(std::move(request)),
      stringEncoding_(stringEncoding),
      boundary_(createMultipartFormBoundary()),
      bodyStream_(std::make_shared<KJAFMultipartBodyStream>(stringEncoding)) {}

std::string KJAFStreamingMultipartFormData::MIMETypeForPathExtension(const std::string& extension) {
    // The types the library uploads and the usual companions; anything else is plain bytes.
    static const std::map<std::string, std::string> types = {
        {"png", "image/png"},         {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},         {"heic", "image/heic"},      {"txt", "text/plain"},
        {"html", "text/html"},        {"json", "application/json"}, {"xml", "application/xml"},
        {"pdf", "application/pdf"},   {"zip", "application/zip"},  {"mp4", "video/mp4"},
        {"plist", "application/x-plist"},
    };
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    auto it = types.find(lower);
    return it == types.end() ? "application/octet-stream" : it->second;
}

bool KJAFStreamingMultipartFormData::appendPartWithFileURL(const platform::URL& fileURL, const std::string& name,
                                                           std::optional<Error>* error) {
    return appendPartWithFileURL(fileURL, name, fileURL.lastPathComponent(),
                                 MIMETypeForPathExtension(fileURL.pathExtension()), error);
}

bool KJAFStreamingMultipartFormData::appendPartWithFileURL(const platform::URL& fileURL, const std::string& name,
                                                           const std::string& fileName, const std::string& mimeType,
                                                           std::optional<Error>* error) {
    if (!fileURL.isFileURL()) {
        fail(error, requestError("Expected URL to be a file URL"));
        return false;
    }
    std::error_code ec;
    std::filesystem::path path = fileURL.path();
    if (!std::filesystem::exists(path, ec)) {
        fail(error, requestError("File URL not reachable."));
        return false;
    }
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        fail(error, Error::withDescription("NSCocoaErrorDomain", 256, ec.message()));
        return false;
    }
    append({{"Content-Disposition", "form-data; name=\"" + name + "\"; filename=\"" + fileName + "\""},
            {"Content-Type", mimeType}},
           fileURL, size);
    return true;
}

void KJAFStreamingMultipartFormData::appendPartWithInputStream(std::shared_ptr<platform::InputStream> inputStream,
                                                               const std::string& name, const std::string& fileName,
                                                               int64_t length, const std::string& mimeType) {
    append({{"Content-Disposition", "form-data; name=\"" + name + "\"; filename=\"" + fileName + "\""},
            {"Content-Type", mimeType}},
           std::move(inputStream), static_cast<uint64_t>(length));
}

void KJAFStreamingMultipartFormData::appendPartWithFileData(const platform::Data& data, const std::string& name,
                                                            const std::string& fileName, const std::string& mimeType) {
    appendPartWithHeaders({{"Content-Disposition", "form-data; name=\"" + name + "\"; filename=\"" + fileName + "\""},
                           {"Content-Type", mimeType}},
                          data);
}

void KJAFStreamingMultipartFormData::appendPartWithFormData(const platform::Data& data, const std::string& name) {
    appendPartWithHeaders({{"Content-Disposition", "form-data; name=\"" + name + "\""}}, data);
}

void KJAFStreamingMultipartFormData::appendPartWithHeaders(const platform::HTTPHeaderFields& headers,
                                                           const platform::Data& body) {
    append(headers, body, body.size());
}

void KJAFStreamingMultipartFormData::append(platform::HTTPHeaderFields headers, KJAFHTTPBodyPart::Body body,
                                            uint64_t length) {
    auto part = std::make_shared<KJAFHTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->headers = std::move(headers);
    part->boundary = boundary_;
    part->body = std::move(body);
    part->bodyContentLength = length;
    bodyStream_->appendHTTPBodyPart(std::move(part));
}

void KJAFStreamingMultipartFormData::throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) {
    bodyStream_->numberOfBytesInPacket = numberOfBytes;
    bodyStream_->delay = delay;
}

platform::URLRequest KJAFStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty()) return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_.setHTTPBodyStream(bodyStream_);
    request_.setValue("multipart/form-data; boundary=" + boundary_, "Content-Type");
    request_.setValue(std::to_string(bodyStream_->contentLength()), "Content-Length");
    return request_;
}

}  // namespace brindlecue
