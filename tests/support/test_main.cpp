// Entry point of every test binary. Each process gets a fresh app container under the system's
// temporary directory (removed at exit), so tests never see each other's files; CTest runs every
// test case in a process of its own, which also resets the process-wide singletons.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "brindlecue-test-XXXXXX").string();
    const char* root = mkdtemp(pattern.data());
    if (root == nullptr) return 2;
    setenv("BRINDLECUE_CONTAINER", root, 1);

    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();

    std::error_code ec;
    fs::remove_all(root, ec);
    return rc;
}
