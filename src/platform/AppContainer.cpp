#include "platform/AppContainer.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>

#include <unistd.h>

namespace brindlecue::platform {

namespace fs = std::filesystem;

namespace {

std::mutex& overrideMutex() {
    static std::mutex m;
    return m;
}

fs::path& overrideRoot() {
    static auto* root = new fs::path();  // leaked: workers may read it during exit
    return *root;
}

fs::path resolveRoot() {
    {
        std::lock_guard lock(overrideMutex());
        if (!overrideRoot().empty()) return overrideRoot();
    }
    if (const char* env = std::getenv("BRINDLECUE_CONTAINER"); env != nullptr && *env != '\0') return env;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return fs::path(home) / ".brindlecue" / "container";
    }
    std::error_code ec;
    fs::path tmp = fs::temp_directory_path(ec);
    if (ec) tmp = "/tmp";
    return tmp / ("brindlecue-container-" + std::to_string(getuid()));
}

// Creation failures surface later, when the caller opens a file there; the path is still right.
fs::path ensured(fs::path dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

}  // namespace

fs::path AppContainer::root() {
    return ensured(resolveRoot());
}

void AppContainer::setRoot(fs::path root) {
    std::lock_guard lock(overrideMutex());
    overrideRoot() = std::move(root);
}

fs::path AppContainer::documentsDirectory() {
    return ensured(resolveRoot() / "Documents");
}
fs::path AppContainer::libraryDirectory() {
    return ensured(resolveRoot() / "Library");
}
fs::path AppContainer::cachesDirectory() {
    return ensured(resolveRoot() / "Library" / "Caches");
}
fs::path AppContainer::temporaryDirectory() {
    return ensured(resolveRoot() / "tmp");
}

}  // namespace brindlecue::platform
