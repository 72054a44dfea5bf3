#include "platform/FileData.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindlecue::platform {

std::optional<Data> contentsOfFile(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    Data bytes;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && status.st_size > 0) bytes.reserve(static_cast<size_t>(status.st_size));
    uint8_t buffer[4096];
    bool failed = false;
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    if (failed) return std::nullopt;
    return bytes;
}

}  // namespace brindlecue::platform
