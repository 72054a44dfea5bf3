#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/Value.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue {

// One part of a multipart body: its opening boundary, header lines, body bytes and, for the last
// part, the closing boundary, produced on demand while the body stream is read.
class KJAFHTTPBodyPart {
public:
    // In-memory bytes, a file read while sending, or a caller's stream.
    using Body = std::variant<std::monostate, platform::Data, platform::URL, std::shared_ptr<platform::InputStream>>;

    KJAFHTTPBodyPart() = default;
    ~KJAFHTTPBodyPart();
    KJAFHTTPBodyPart(const KJAFHTTPBodyPart&) = delete;
    KJAFHTTPBodyPart& operator=(const KJAFHTTPBodyPart&) = delete;

    uint64_t stringEncoding = 4;
    platform::HTTPHeaderFields headers;
    std::string boundary;
    Body body;
    uint64_t bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    // Made once from the body.
    std::shared_ptr<platform::InputStream> inputStream();
    // "Name: value\r\n" per header, then "\r\n".
    std::string stringForHeaders() const;
    uint64_t contentLength() const;
    bool hasBytesAvailable();
    // Reads on from where the last call stopped, through all phases; -1 when the body's stream failed.
    long read(uint8_t* buffer, size_t length);
    // Same encoding, headers, length, body and boundary, starting over.
    std::shared_ptr<KJAFHTTPBodyPart> copy() const;

private:
    enum Phase { kInitialPhase = 0, kEncapsulationBoundaryPhase = 1, kHeaderPhase = 2, kBodyPhase = 3, kFinalBoundaryPhase = 4 };

    long readData(const std::string& data, uint8_t* buffer, size_t length);
    // Runs on the main thread (opening and closing the body's stream happens there).
    void transitionToNextPhase();
    void transition();

    std::shared_ptr<platform::InputStream> inputStream_;
    int phase_ = kEncapsulationBoundaryPhase;
    uint64_t phaseReadOffset_ = 0;
};

}  // namespace brindlecue
