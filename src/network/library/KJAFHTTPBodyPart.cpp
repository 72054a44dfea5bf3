#include "network/library/KJAFHTTPBodyPart.h"

#include <algorithm>
#include <cstring>

#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

using platform::InputStream;

namespace {

constexpr const char* kCRLF = "\r\n";

std::string initialBoundary(const std::string& boundary) { return std::string("--") + boundary + kCRLF; }
std::string encapsulationBoundary(const std::string& boundary) {
    return std::string(kCRLF) + "--" + boundary + kCRLF;
}
std::string finalBoundary(const std::string& boundary) { return std::string(kCRLF) + "--" + boundary + "--" + kCRLF; }

bool finished(InputStream::Status status) {
    return status == InputStream::Status::AtEnd || status == InputStream::Status::Closed ||
           status == InputStream::Status::Error;
}

}  // namespace

KJAFHTTPBodyPart::~KJAFHTTPBodyPart() {
    if (inputStream_) inputStream_->close();
}

std::shared_ptr<InputStream> KJAFHTTPBodyPart::inputStream() {
    if (inputStream_) return inputStream_;
    if (const auto* data = std::get_if<platform::Data>(&body)) {
        inputStream_ = InputStream::withData(*data);
    } else if (const auto* url = std::get_if<platform::URL>(&body)) {
        inputStream_ = InputStream::withURL(*url);
    } else if (const auto* stream = std::get_if<std::shared_ptr<InputStream>>(&body)) {
        inputStream_ = *stream;
    }
    if (!inputStream_) inputStream_ = InputStream::withData({});
    return inputStream_;
}

std::string KJAFHTTPBodyPart::stringForHeaders() const {
    std::string text;
    for (const auto& [name, value] : headers) text += name + ": " + value + kCRLF;
    return text + kCRLF;
}

uint64_t KJAFHTTPBodyPart::contentLength() const {
    uint64_t length = hasInitialBoundary ? initialBoundary(boundary).size() : encapsulationBoundary(boundary).size();
    length += stringForHeaders().size();
    length += bodyContentLength;
    if (hasFinalBoundary) length += finalBoundary(boundary).size();
    return length;
}

bool KJAFHTTPBodyPart::hasBytesAvailable() {
    if (phase_ == kFinalBoundaryPhase) return true;
    return !finished(inputStream()->streamStatus());
}

long KJAFHTTPBodyPart::read(uint8_t* buffer, size_t length) {
    size_t total = 0;
    if (phase_ == kEncapsulationBoundaryPhase) {
        std::string bytes = hasInitialBoundary ? initialBoundary(boundary) : encapsulationBoundary(boundary);
        total += readData(bytes, buffer + total, length - total);
    }
    if (phase_ == kHeaderPhase) total += readData(stringForHeaders(), buffer + total, length - total);
    if (phase_ == kBodyPhase) {
        auto stream = inputStream();
        long n = stream->read(buffer + total, length - total);
        if (n == -1) return -1;
        total += static_cast<size_t>(n);
        if (finished(stream->streamStatus())) transitionToNextPhase();
    }
    if (phase_ == kFinalBoundaryPhase) {
        total += readData(hasFinalBoundary ? finalBoundary(boundary) : std::string(), buffer + total, length - total);
    }
    return static_cast<long>(total);
}

long KJAFHTTPBodyPart::readData(const std::string& data, uint8_t* buffer, size_t length) {
    size_t remaining = data.size() - std::min<size_t>(phaseReadOffset_, data.size());
    size_t n = std::min(remaining, length);
    if (n > 0) std::memcpy(buffer, data.data() + phaseReadOffset_, n);
    phaseReadOffset_ += n;
    if (phaseReadOffset_ >= data.size()) transitionToNextPhase();
    return static_cast<long>(n);
}

void KJAFHTTPBodyPart::transitionToNextPhase() {
    if (!platform::isMainThread()) {
        platform::DispatchQueue::main()->sync([this] { transition(); });
        return;
    }
    transition();
}

void KJAFHTTPBodyPart::transition() {
    switch (phase_) {
        case kEncapsulationBoundaryPhase:
            phase_ = kHeaderPhase;
            break;
        case kHeaderPhase:
            inputStream()->open();
            phase_ = kBodyPhase;
            break;
        case kBodyPhase:
            inputStream()->close();
            phase_ = kFinalBoundaryPhase;
            break;
        default:
            phase_ = kEncapsulationBoundaryPhase;
            break;
    }
    phaseReadOffset_ = 0;
}

std::shared_ptr<KJAFHTTPBodyPart> KJAFHTTPBodyPart::copy() const {
    auto part = std::make_shared<KJAFHTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->headers = headers;
    part->bodyContentLength = bodyContentLength;
    part->body = body;
    part->boundary = boundary;
    // A caller's stream can only be read once; the copy reads a fresh copy of it when it can.
    if (auto* stream = std::get_if<std::shared_ptr<InputStream>>(&part->body)) {
        if (auto fresh = (*stream)->copy()) *stream = fresh;
    }
    return part;
}

}  // namespace brindlecue
