#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/AppContainer.h"
#include "platform/Bundle.h"
#include "platform/CaptureLogSink.h"

namespace brindlecue::platform {
namespace {

namespace fs = std::filesystem;

fs::path prefsFile(const std::string& name) {
    return AppContainer::temporaryDirectory() / (name + ".plist");
}

TEST(UserDefaults, ValuesSurviveANewInstanceOverTheSameFile) {
    fs::path file = prefsFile("persist");
    {
        UserDefaults d(file);
        d.setString("name", "Ada");
        d.setInteger("count", 42);
        d.setDouble("ratio", 0.25);
        d.setBool("flag", true);
        d.set("blob", Data{0, 1, 255});
        d.set("list", Value::array({1, "two"}));
        d.set("map", Value::dictionary({{"k", "v"}}));
        d.set("gone", "x");
        d.remove("gone");
    }
    std::ifstream in(file, std::ios::binary);
    std::string head(8, '\0');
    in.read(head.data(), 8);
    EXPECT_EQ(head, "bplist00");

    UserDefaults again(file);
    EXPECT_EQ(again.string("name"), "Ada");
    EXPECT_EQ(again.integer("count"), 42);
    EXPECT_DOUBLE_EQ(again.double_("ratio"), 0.25);
    EXPECT_TRUE(again.bool_("flag"));
    EXPECT_EQ(again.data("blob"), (Data{0, 1, 255}));
    EXPECT_EQ(Value(*again.array("list")), Value::array({1, "two"}));
    EXPECT_EQ(Value(*again.dictionary("map")), Value::dictionary({{"k", "v"}}));
    EXPECT_TRUE(again.object("gone").isAbsent());
    EXPECT_EQ(again.dictionaryRepresentation().size(), 7u);
}

TEST(UserDefaults, TypedGettersOnOtherKinds) {
    UserDefaults d(prefsFile("kinds"));
    d.setString("text", "hello");
    d.setString("numeric", " 17 apples");
    d.setString("yes", " yes");
    d.setString("zero", "0");
    d.setInteger("number", 7);
    d.setDouble("real", 2.5);
    d.set("list", Value::array({1}));

    EXPECT_EQ(d.integer("missing"), 0);
    EXPECT_EQ(d.integer("text"), 0);
    EXPECT_EQ(d.integer("numeric"), 17);
    EXPECT_EQ(d.integer("real"), 2);
    EXPECT_DOUBLE_EQ(d.double_("number"), 7.0);

    EXPECT_EQ(d.string("number"), "7");
    EXPECT_EQ(d.string("real"), "2.5");
    EXPECT_EQ(d.string("list"), std::nullopt);

    EXPECT_TRUE(d.bool_("yes"));
    EXPECT_TRUE(d.bool_("numeric"));
    EXPECT_TRUE(d.bool_("real"));
    EXPECT_FALSE(d.bool_("zero"));
    EXPECT_FALSE(d.bool_("text"));
    EXPECT_FALSE(d.bool_("list"));

    EXPECT_EQ(d.array("text"), std::nullopt);
    EXPECT_EQ(d.dictionary("list"), std::nullopt);
    EXPECT_EQ(d.data("text"), std::nullopt);
}

TEST(UserDefaults, NilRemovesAndNonPropertyListValuesAreRefused) {
    fs::path file = prefsFile("nil");
    UserDefaults d(file);
    d.setString("a", "x");
    d.set("a", Value::null());
    EXPECT_TRUE(d.object("a").isAbsent());
    d.setString("b", "x");
    d.set("b", Value());
    EXPECT_TRUE(d.object("b").isAbsent());

    CaptureLogSink capture;
    d.set("c", Value::array({1, nullptr}));
    EXPECT_TRUE(d.object("c").isAbsent());
    EXPECT_EQ(capture.entries().size(), 1u);
    EXPECT_TRUE(UserDefaults(file).dictionaryRepresentation().empty());
}

TEST(UserDefaults, CorruptFileReadsAsEmptyAndIsReplacedOnWrite) {
    fs::path file = prefsFile("corrupt");
    std::ofstream(file, std::ios::binary) << "bplist00 this is not a property list";
    CaptureLogSink capture;
    UserDefaults d(file);
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
    ASSERT_EQ(capture.entries().size(), 1u);
    EXPECT_EQ(capture.entries()[0].type, LogType::Error);

    d.setInteger("n", 3);
    EXPECT_EQ(UserDefaults(file).integer("n"), 3);

    // A valid property list that is not a dictionary is no better.
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << R"(<?xml version="1.0"?><plist version="1.0"><array/></plist>)";
    EXPECT_TRUE(UserDefaults(file).dictionaryRepresentation().empty());
}

TEST(UserDefaults, StandardLivesInThePreferencesOfTheBundleIdentifier) {
    Bundle::createMainBundle(Dictionary{{Bundle::kIdentifierKey, "com.example.app"}});
    UserDefaults::standard().setBool("seen", true);
    fs::path expected = AppContainer::libraryDirectory() / "Preferences" / "com.example.app.plist";
    EXPECT_EQ(UserDefaults::standard().file(), expected);
    EXPECT_TRUE(UserDefaults(expected).bool_("seen"));
}

TEST(UserDefaults, ConcurrentWritersLoseNothing) {
    fs::path file = AppContainer::temporaryDirectory() / "threads" / "prefs.plist";
    {
        UserDefaults d(file);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&d, t] {
                for (int i = 0; i < 25; ++i)
                    d.setInteger("k" + std::to_string(t) + "-" + std::to_string(i), i);
            });
        }
        for (auto& t : threads) t.join();
    }
    EXPECT_EQ(UserDefaults(file).dictionaryRepresentation().size(), 100u);
    // No temporary files are left behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(file.parent_path())) ++files;
    EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace brindlecue::platform
