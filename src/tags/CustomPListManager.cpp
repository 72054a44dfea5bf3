#include "tags/CustomPListManager.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/AppContainer.h"

namespace brindlecue {

namespace {

constexpr const char* kFileErrorDomain = "NSCocoaErrorDomain";
constexpr int64_t kWriteUnknownError = 512;

platform::Error fileError(const std::filesystem::path& path, const std::string& what, int code) {
    return platform::Error::withDescription(
        kFileErrorDomain, kWriteUnknownError,
        "Could not write \"" + path.filename().string() + "\": " + what + " (" + std::strerror(code) + ")");
}

// Writes the bytes to a new file beside the target, syncs it and renames it over the target.
std::optional<platform::Error> writeAtomically(const std::filesystem::path& path,
                                               const platform::Data& bytes) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fileError(path, "cannot create the temporary file", errno);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int code = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporary.c_str());
            return fileError(path, "cannot write the temporary file", code);
        }
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int code = errno;
        ::unlink(temporary.c_str());
        return fileError(path, "cannot flush the temporary file", code);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int code = errno;
        ::unlink(temporary.c_str());
        return fileError(path, "cannot replace the file", code);
    }
    return std::nullopt;
}

}  // namespace

std::mutex& CustomPListManager::fileMutex() {
    // Never destroyed: queued work may still use it while the process exits.
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}

CustomPListManager::CustomPListManager()
    : plistFilePath(platform::AppContainer::documentsDirectory() / (plistFileName + "." + plistFileType)) {}

std::optional<std::vector<SwiftTag>> CustomPListManager::decode(const platform::Data& bytes) {
    auto root = platform::Value::fromPropertyList(bytes);
    if (!root || !root->isArray()) return std::nullopt;
    std::vector<SwiftTag> tags;
    for (const auto& element : *root->getArray()) {
        auto tag = SwiftTag::decode(element);
        if (!tag) return std::nullopt;
        tags.push_back(std::move(*tag));
    }
    return tags;
}

std::optional<platform::Data> CustomPListManager::readFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    platform::Data bytes;
    uint8_t buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // A directory or an unreadable file in its place.
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

std::vector<SwiftTag> CustomPListManager::readLocked() const {
    auto bytes = readFile(plistFilePath);
    if (!bytes || bytes->empty()) return {};
    return decode(*bytes).value_or(std::vector<SwiftTag>());
}

std::optional<platform::Error> CustomPListManager::writeLocked(const std::vector<SwiftTag>& tags) {
    platform::Array list;
    list.reserve(tags.size());
    for (const auto& tag : tags) list.push_back(tag.encode());
    platform::Error encodingError;
    auto bytes =
        platform::Value(std::move(list)).toPropertyList(platform::PropertyListFormat::XML, &encodingError);
    std::optional<platform::Error> error;
    if (!bytes)
        error = encodingError;
    else
        error = writeAtomically(plistFilePath, *bytes);
    if (error)
        log("Tag: PList Tags Data Store -> error writing to PList: " + error->description(),
            BLQLoggingLevel::error);
    return error;
}

std::vector<SwiftTag> CustomPListManager::readTags() const {
    std::lock_guard lock(fileMutex());
    return readLocked();
}

std::optional<platform::Error> CustomPListManager::writeTags(const std::vector<SwiftTag>& tags) {
    std::lock_guard lock(fileMutex());
    return writeLocked(tags);
}

std::optional<platform::Error> CustomPListManager::updateTags(
    const std::function<bool(std::vector<SwiftTag>&)>& change) {
    std::lock_guard lock(fileMutex());
    auto tags = readLocked();
    if (!change(tags)) return std::nullopt;
    return writeLocked(tags);
}

}  // namespace brindlecue
