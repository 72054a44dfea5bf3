#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue::platform {

class URL;

// The platform's input stream: a source of bytes that is opened, read in pieces and closed. A
// request body stream is one; the URL loading system reads it on its own thread. Subclasses
// implement read() and keep status and error up to date through setStatus()/setError().
class InputStream {
public:
    enum class Status { NotOpen = 0, Opening = 1, Open = 2, Reading = 3, Writing = 4, AtEnd = 5, Closed = 6, Error = 7 };

    static std::shared_ptr<InputStream> withData(Data data);
    static std::shared_ptr<InputStream> withFileAtPath(const std::string& path);
    // A stream over a file URL; null for any other URL.
    static std::shared_ptr<InputStream> withURL(const URL& url);

    virtual ~InputStream() = default;

    virtual void open();
    virtual void close();
    // Bytes read (at most maxLength), 0 at the end, -1 on an error (see streamError()).
    virtual long read(uint8_t* buffer, size_t maxLength) = 0;
    virtual bool hasBytesAvailable() const;
    Status streamStatus() const { return status_; }
    const std::optional<Error>& streamError() const { return error_; }
    // A fresh, unopened stream over the same bytes, or null when this stream cannot be copied.
    virtual std::shared_ptr<InputStream> copy() const { return nullptr; }

protected:
    void setStatus(Status status) { status_ = status; }
    void setError(Error error) {
        error_ = std::move(error);
        status_ = Status::Error;
    }

private:
    Status status_ = Status::NotOpen;
    std::optional<Error> error_;
};

}  // namespace brindlecue::platform
