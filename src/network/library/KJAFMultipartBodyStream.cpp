#include "network/library/KJAFMultipartBodyStream.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/foundation/URLError.h"

namespace brindlecue {

void KJAFMultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_.empty()) return;
    for (auto& part : parts_) {
        part->hasInitialBoundary = false;
        part->hasFinalBoundary = false;
    }
    parts_.front()->hasInitialBoundary = true;
    parts_.back()->hasFinalBoundary = true;
}

void KJAFMultipartBodyStream::appendHTTPBodyPart(std::shared_ptr<KJAFHTTPBodyPart> part) {
    parts_.push_back(std::move(part));
}

uint64_t KJAFMultipartBodyStream::contentLength() const {
    uint64_t length = 0;
    for (const auto& part : parts_) length += part->contentLength();
    return length;
}

void KJAFMultipartBodyStream::open() {
    if (streamStatus() == Status::Open) return;
    setStatus(Status::Open);
    setInitialAndFinalBoundaries();
    nextPart_ = 0;
    currentHTTPBodyPart_.reset();
}

void KJAFMultipartBodyStream::close() { setStatus(Status::Closed); }

bool KJAFMultipartBodyStream::hasBytesAvailable() const { return streamStatus() == Status::Open; }

long KJAFMultipartBodyStream::read(uint8_t* buffer, size_t maxLength) {
    if (streamStatus() == Status::Closed) return 0;
    if (streamStatus() == Status::Error) return -1;  // never skip past a part that failed
    size_t limit = static_cast<size_t>(std::min<uint64_t>(maxLength, numberOfBytesInPacket));
    size_t total = 0;
    while (total < limit) {
        if (!currentHTTPBodyPart_ || !currentHTTPBodyPart_->hasBytesAvailable()) {
            if (nextPart_ >= parts_.size()) break;
            currentHTTPBodyPart_ = parts_[nextPart_++];
            continue;
        }
        long n = currentHTTPBodyPart_->read(buffer + total, limit - total);
        if (n == -1) {
            auto failed = currentHTTPBodyPart_->inputStream()->streamError();
            setError(failed ? *failed : platform::URLError::make(platform::URLError::Unknown));
            // Bytes already read are handed on; a read that produced none reports the failure
            // itself, so that a reader never takes the failure for the end of the body.
            return total > 0 ? static_cast<long>(total) : -1;
        }
        total += static_cast<size_t>(n);
        if (delay > 0) std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    }
    return static_cast<long>(total);
}

std::shared_ptr<platform::InputStream> KJAFMultipartBodyStream::copy() const {
    auto stream = std::make_shared<KJAFMultipartBodyStream>(stringEncoding_);
    for (const auto& part : parts_) stream->appendHTTPBodyPart(part->copy());
    stream->setInitialAndFinalBoundaries();
    return stream;
}

}  // namespace brindlecue
