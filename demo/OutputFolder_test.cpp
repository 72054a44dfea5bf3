#include "OutputFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <unistd.h>

namespace brindlecue::demo {
namespace {

namespace fs = std::filesystem;

class OutputFolderTest : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("output-folder-test-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The names in the folder, folders with a trailing "/".
    static std::set<std::string> names(const fs::path& dir) {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir))
            out.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
        return out;
    }
    // A run: takes the folder and writes what a run of the demo writes.
    static void run(const fs::path& dir, const std::set<std::string>& pictures) {
        std::string error;
        auto folder = OutputFolder::take(dir, &error);
        ASSERT_TRUE(folder) << error;
        const fs::path container = folder->add("container/");
        ASSERT_FALSE(container.empty());
        write(container / "Library" / "store.sqlite", "rows");
        for (const auto& picture : pictures) write(folder->add(picture), "png");
        for (const char* file : {"events.json", "requests.json", "index.html"})
            write(folder->add(file), file);
    }

    fs::path root;
};

TEST_F(OutputFolderTest, ANewOrEmptyFolderIsTakenAndListsWhatTheRunWrites) {
    std::string error;
    auto folder = OutputFolder::take(root / "new" / "out", &error);
    ASSERT_TRUE(folder) << error;
    EXPECT_TRUE(fs::is_directory(root / "new" / "out"));

    run(root / "empty", {"01-home.png"});
    EXPECT_EQ(names(root / "empty"), (std::set<std::string>{".brindlecue-demo", "01-home.png", "container/",
                                                            "events.json", "index.html", "requests.json"}));
    EXPECT_EQ(read(root / "empty" / ".brindlecue-demo"),
              "brindlecue-demo output\ncontainer/\n01-home.png\nevents.json\nrequests.json\nindex.html\n");
}

TEST_F(OutputFolderTest, AnotherRunRemovesOnlyWhatTheEarlierRunWrote) {
    const fs::path dir = root / "out";
    run(dir, {"01-home.png", "02-orders.png"});
    // The user keeps a note and a picture of their own beside the demo's.
    write(dir / "notes.txt", "mine");
    write(dir / "mine.png", "mine");

    run(dir, {"01-home.png"});
    EXPECT_EQ(names(dir),
              (std::set<std::string>{".brindlecue-demo", "01-home.png", "container/", "events.json",
                                     "index.html", "requests.json", "notes.txt", "mine.png"}));
    EXPECT_EQ(read(dir / "notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "02-orders.png")) << "the earlier run's picture goes";
    EXPECT_EQ(names(dir / "container"), std::set<std::string>{"Library/"}) << "the sandbox starts afresh";
}

TEST_F(OutputFolderTest, AFolderWithFilesNoRunWroteIsRefusedAndKeptWhole) {
    write(root / "report.txt", "mine");
    write(root / "index.html", "<html>my own page</html>");
    std::string error;
    EXPECT_FALSE(OutputFolder::take(root, &error));
    EXPECT_NE(error.find("no run of the demo wrote"), std::string::npos) << error;
    EXPECT_NE(error.find("\"index.html\""), std::string::npos) << error;
    EXPECT_EQ(names(root), (std::set<std::string>{"index.html", "report.txt"}));

    // A file is not a folder; a list that is not the demo's is no list.
    write(root / "file", "x");
    EXPECT_FALSE(OutputFolder::take(root / "file", &error));
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
    write(root / "other" / ".brindlecue-demo", "something else\nreport.txt\n");
    write(root / "other" / "report.txt", "mine");
    EXPECT_FALSE(OutputFolder::take(root / "other", &error));
    EXPECT_EQ(read(root / "other" / "report.txt"), "mine");
}

TEST_F(OutputFolderTest, TheListNamesOnlyEntriesOfTheFolderAndKeepsTheUsersInPlace) {
    const fs::path dir = root / "out";
    write(root / "outside.txt", "mine");
    write(dir / "keep.txt", "mine");
    // A hand-edited list: paths out of the folder and hidden names are not the run's to remove.
    write(dir / ".brindlecue-demo",
          "brindlecue-demo output\n../outside.txt\n/etc/hostname\n..\n.\n.hidden\nkeep.txt/\nold.png\n");
    write(dir / ".hidden", "mine");
    write(dir / "old.png", "png");
    std::string error;
    auto folder = OutputFolder::take(dir, &error);
    ASSERT_TRUE(folder) << error;
    EXPECT_TRUE(fs::exists(root / "outside.txt"));
    EXPECT_EQ(names(dir), (std::set<std::string>{".brindlecue-demo", ".hidden", "keep.txt"}))
        << "keep.txt is a file, the list names a folder";

    // A name the run would write that is there already is the user's: the run leaves it alone.
    EXPECT_TRUE(folder->add("keep.txt").empty());
    EXPECT_TRUE(folder->add("../escape.png").empty());
    EXPECT_EQ(folder->add("new.png"), dir / "new.png");
    EXPECT_EQ(read(dir / "keep.txt"), "mine");

    // The run's page and journals in the way are refused before anything goes.
    const fs::path other = root / "other";
    write(other / ".brindlecue-demo", "brindlecue-demo output\nold.png\n");
    write(other / "old.png", "png");
    write(other / "events.json", "mine");
    EXPECT_FALSE(OutputFolder::take(other, &error));
    EXPECT_NE(error.find("events.json is in the way"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(other / "old.png"));
}

TEST_F(OutputFolderTest, AnEarlierRunWithoutAListIsKnownByItsPage) {
    const fs::path dir = root / "out";
    write(dir / "index.html",
          "<!doctype html><html><head><meta charset=\"utf-8\"><title>Brindlecue demo: Shop</title></head>"
          "<body><img src=\"01-home.png\" alt=\"a\"><img src=\"../x.png\" alt=\"b\"></body></html>\n");
    write(dir / "01-home.png", "png");
    write(dir / "events.json", "[]");
    write(dir / "requests.json", "[]");
    write(dir / "container" / "Documents" / "a", "x");
    write(dir / "notes.txt", "mine");
    run(dir, {});
    EXPECT_EQ(names(dir), (std::set<std::string>{".brindlecue-demo", "container/", "events.json",
                                                 "index.html", "requests.json", "notes.txt"}));
    EXPECT_EQ(read(dir / "index.html"), "index.html");
}

}  // namespace
}  // namespace brindlecue::demo
