#pragma once

#include <filesystem>

namespace brindlecue::platform {

// The app's sandbox. Its root is, in order: the path given to setRoot, the environment variable
// BRINDLECUE_CONTAINER (the host sets it; every test process gets a fresh one),
// "$HOME/.brindlecue/container", or a folder under the system's temporary directory.
// Every directory is created when it is first asked for.
class AppContainer {
public:
    static std::filesystem::path root();
    // An empty path drops the override.
    static void setRoot(std::filesystem::path root);

    static std::filesystem::path documentsDirectory();  // root/Documents
    static std::filesystem::path libraryDirectory();    // root/Library
    static std::filesystem::path cachesDirectory();     // root/Library/Caches
    static std::filesystem::path temporaryDirectory();  // root/tmp
};

}  // namespace brindlecue::platform
