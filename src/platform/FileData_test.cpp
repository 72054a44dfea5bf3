#include "platform/FileData.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/AppContainer.h"

namespace brindlecue::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileData, ReadsAWholeFileAndNothingWhenItCannotBeRead) {
    const fs::path dir = AppContainer::temporaryDirectory() / "file-data";
    fs::create_directories(dir);

    // Larger than one read, so the parts are joined in order.
    Data written(10000);
    for (size_t i = 0; i < written.size(); ++i) written[i] = static_cast<uint8_t>(i * 7);
    std::ofstream(dir / "whole", std::ios::binary)
        .write(reinterpret_cast<const char*>(written.data()), static_cast<std::streamsize>(written.size()));
    EXPECT_EQ(contentsOfFile(dir / "whole"), written);

    std::ofstream(dir / "empty").close();
    auto empty = contentsOfFile(dir / "empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());

    EXPECT_FALSE(contentsOfFile(dir / "missing").has_value());
    // A directory opens, and its first read fails: that is no file of no bytes.
    EXPECT_FALSE(contentsOfFile(dir).has_value());
}

}  // namespace
}  // namespace brindlecue::platform
