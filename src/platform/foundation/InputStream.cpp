#include "platform/foundation/InputStream.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/foundation/URL.h"

namespace brindlecue::platform {

namespace {

class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(std::shared_ptr<const Data> data) : data_(std::move(data)) {}

    long read(uint8_t* buffer, size_t maxLength) override {
        if (streamStatus() != Status::Open && streamStatus() != Status::Reading) return streamStatus() == Status::AtEnd ? 0 : -1;
        size_t n = std::min(maxLength, data_->size() - offset_);
        if (n > 0) std::memcpy(buffer, data_->data() + offset_, n);
        offset_ += n;
        if (offset_ >= data_->size()) setStatus(Status::AtEnd);
        return static_cast<long>(n);
    }
    bool hasBytesAvailable() const override {
        return (streamStatus() == Status::Open || streamStatus() == Status::Reading) && offset_ < data_->size();
    }
    std::shared_ptr<InputStream> copy() const override { return std::make_shared<DataInputStream>(data_); }
    void open() override {
        InputStream::open();
        if (data_->empty()) setStatus(Status::AtEnd);
    }

private:
    std::shared_ptr<const Data> data_;
    size_t offset_ = 0;
};

class FileInputStream final : public InputStream {
public:
    explicit FileInputStream(std::string path) : path_(std::move(path)) {}

    void open() override {
        if (streamStatus() != Status::NotOpen) return;
        file_.open(path_, std::ios::binary);
        if (!file_) {
            int err = errno;
            setError(Error::withDescription("NSPOSIXErrorDomain", err ? err : ENOENT,
                                            std::strerror(err ? err : ENOENT)));
            return;
        }
        setStatus(Status::Open);
    }
    void close() override {
        if (file_.is_open()) file_.close();
        InputStream::close();
    }
    long read(uint8_t* buffer, size_t maxLength) override {
        if (streamStatus() == Status::AtEnd) return 0;
        if (streamStatus() != Status::Open && streamStatus() != Status::Reading) return -1;
        file_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(maxLength));
        auto n = file_.gcount();
        if (file_.bad()) {
            setError(Error::withDescription("NSPOSIXErrorDomain", EIO, std::strerror(EIO)));
            return -1;
        }
        if (file_.eof() || file_.peek() == std::char_traits<char>::eof()) setStatus(Status::AtEnd);
        return static_cast<long>(n);
    }
    bool hasBytesAvailable() const override {
        return streamStatus() == Status::Open || streamStatus() == Status::Reading;
    }
    std::shared_ptr<InputStream> copy() const override { return std::make_shared<FileInputStream>(path_); }

private:
    std::string path_;
    std::ifstream file_;
};

}  // namespace

void InputStream::open() {
    if (status_ == Status::NotOpen) status_ = Status::Open;
}

void InputStream::close() {
    if (status_ != Status::Error) status_ = Status::Closed;
}

bool InputStream::hasBytesAvailable() const { return status_ == Status::Open || status_ == Status::Reading; }

std::shared_ptr<InputStream> InputStream::withData(Data data) {
    return std::make_shared<DataInputStream>(std::make_shared<const Data>(std::move(data)));
}

std::shared_ptr<InputStream> InputStream::withFileAtPath(const std::string& path) {
    return std::make_shared<FileInputStream>(path);
}

std::shared_ptr<InputStream> InputStream::withURL(const URL& url) {
    if (!url.isFileURL()) return nullptr;
    return withFileAtPath(url.path());
}

}  // namespace brindlecue::platform
