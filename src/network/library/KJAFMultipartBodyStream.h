#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "network/library/KJAFHTTPBodyPart.h"
#include "platform/foundation/InputStream.h"

namespace brindlecue {

// The body stream of a multipart request: reads its parts one after the other, each producing its
// boundary, headers and body bytes on demand. Read on the URL loading system's thread.
class KJAFMultipartBodyStream final : public platform::InputStream {
public:
    explicit KJAFMultipartBodyStream(uint64_t stringEncoding) : stringEncoding_(stringEncoding) {}

    // Upper bound of the bytes one read returns, and the pause (seconds) after each part read.
    uint64_t numberOfBytesInPacket = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    double delay = 0;

    uint64_t stringEncoding() const { return stringEncoding_; }
    const std::vector<std::shared_ptr<KJAFHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }

    // The first part opens with the initial boundary, the last closes with the final one.
    void setInitialAndFinalBoundaries();
    void appendHTTPBodyPart(std::shared_ptr<KJAFHTTPBodyPart> part);
    bool isEmpty() const { return parts_.empty(); }
    uint64_t contentLength() const;

    void open() override;
    void close() override;
    long read(uint8_t* buffer, size_t maxLength) override;
    bool hasBytesAvailable() const override;
    // A fresh stream over copies of the parts.
    std::shared_ptr<platform::InputStream> copy() const override;

private:
    uint64_t stringEncoding_;
    std::vector<std::shared_ptr<KJAFHTTPBodyPart>> parts_;
    size_t nextPart_ = 0;
    std::shared_ptr<KJAFHTTPBodyPart> currentHTTPBodyPart_;
};

}  // namespace brindlecue
