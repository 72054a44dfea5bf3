#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AppContainer.h"
#include "platform/BinaryPropertyList.h"
#include "platform/Bundle.h"
#include "platform/CaptureLogSink.h"
#include "platform/dispatch/Clock.h"

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

TEST(UserDefaults, OpeningAFileTakesInTheChangesOfEveryInstanceThatHoldsSome) {
    Clock::useVirtual();  // background writes wait for the clock, so changes stay pending
    fs::path file = prefsFile("shared"), other = prefsFile("other");
    UserDefaults first(file), unrelated(other), quiet(file);
    first.setString("name", "Ada");
    unrelated.setString("name", "Bob");
    {
        UserDefaults second(file);
        EXPECT_EQ(second.string("name"), "Ada");
    }
    EXPECT_EQ(UserDefaults(other).string("name"), "Bob");
    // Written, then changed again: pending once more.
    EXPECT_TRUE(first.synchronize());
    first.setInteger("count", 2);
    EXPECT_EQ(UserDefaults(file).integer("count"), 2);
    EXPECT_EQ(quiet.string("name"), std::nullopt);  // opened before the change, it keeps what it read
}

// The file is written by the library's own property-list writer and read by the platform's reader.
TEST(UserDefaults, EveryKindOfValueComesBackFromTheFile) {
    fs::path file = prefsFile("kinds-file");
    Value values = Value::dictionary(
        {{"date", Date::fromTimeIntervalSince1970(1767225600.125)},
         {"negative", -42},
         {"largest", std::numeric_limits<int64_t>::max()},
         {"smallest", std::numeric_limits<int64_t>::min()},
         {"wide", 300},
         {"tenth", 0.1},
         {"huge", 1e300},
         {"half", 0.5},
         {"no", false},
         {"text", "na\xC3\xAFve \xE2\x82\xAC \xF0\x9F\x98\x80"},
         {"empty", Value::array()},
         {"nested",
          Value::dictionary({{"list", Value::array({Value::dictionary(), "x", "x", 1, 1.0, true})}})},
         {"bytes", Data(300, 7)},
         // Equal containers are written once and read back as equal values.
         {"twins", Value::array({Value::dictionary({{"a", Value::array({1, 2})}}),
                                 Value::dictionary({{"a", Value::array({1, 2})}}), Value::array({1, 2}),
                                 Value::array({2, 1})})}});
    {
        UserDefaults d(file);
        for (const auto& [key, value] : *values.getDictionary()) d.set(key, value);
    }
    auto read = Value::fromPropertyList([&] {
        std::ifstream in(file, std::ios::binary);
        return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, values);
    EXPECT_EQ(Value(UserDefaults(file).dictionaryRepresentation()), values);
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
    // A long list is looked at in pieces: a null deep in any of them is found all the same.
    Array list(1000, Value::dictionary({{"k", Value::array({"v"})}}));
    list[999] = Value::dictionary({{"k", Value::array({"v", nullptr})}});
    d.set("d", Value(list));
    EXPECT_TRUE(d.object("d").isAbsent());
    EXPECT_EQ(capture.entries().size(), 2u);
    EXPECT_TRUE(UserDefaults(file).dictionaryRepresentation().empty());
    list[999] = Value("v");
    d.set("d", Value(list));
    EXPECT_EQ(d.array("d")->size(), 1000u);

    // The check on its own, and an array whose elements the caller checked: set as it is.
    EXPECT_TRUE(UserDefaults::isPropertyListValue(Value(list)));
    EXPECT_FALSE(UserDefaults::isPropertyListValue(Value::dictionary({{"k", Value::array({nullptr})}})));
    EXPECT_FALSE(UserDefaults::isPropertyListValue(Value()));
    list[0] = Value::dictionary({{"k", 1.5}});
    d.setArrayOfCheckedElements("e", list);
    EXPECT_EQ(d.object("e"), Value(list));
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(file).object("e"), Value(list));
    EXPECT_EQ(capture.entries().size(), 2u);
}

// Elements written on their own beforehand make the same file, and serve one write: a later
// change of the key, or a later write, goes without them.
TEST(UserDefaults, ElementsWrittenOnTheirOwnMakeTheSameFile) {
    Array list;
    for (int i = 0; i < 300; ++i)
        list.push_back(Value::dictionary({{"id", i}, {"name", "n" + std::to_string(i % 7)}, {"on", i % 2 == 0}}));
    auto fileOf = [&](const std::string& name, bool written) {
        fs::path file = prefsFile(name);
        UserDefaults d(file);
        d.setString("other", "x");
        std::vector<std::shared_ptr<const bplist::WrittenValue>> pieces;
        for (size_t i = 0; written && i < list.size(); ++i)
            pieces.push_back(i % 5 == 0 ? nullptr : bplist::writeOnItsOwn(list[i]));
        d.setArrayOfCheckedElements("list", list, pieces);
        EXPECT_TRUE(d.synchronize());
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string plain = fileOf("plain-elements", false);
    EXPECT_EQ(fileOf("written-elements", true), plain);

    // Pieces that do not belong to the array (another length) are not taken, and a key set again
    // leaves the pieces of its earlier value.
    fs::path file = prefsFile("changed-elements");
    UserDefaults d(file);
    d.setString("other", "x");
    Array shorter(list.begin(), list.begin() + 10);
    d.setArrayOfCheckedElements("list", shorter, {bplist::writeOnItsOwn(list[0])});
    d.setArrayOfCheckedElements("list", list, {bplist::writeOnItsOwn(Value::dictionary({{"wrong", 1}}))});
    std::vector<std::shared_ptr<const bplist::WrittenValue>> stale;
    for (int i = 0; i < 300; ++i) stale.push_back(bplist::writeOnItsOwn(Value(i)));
    d.setArrayOfCheckedElements("list", shorter, stale);
    d.set("list", Value(list));
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(file).object("list"), Value(list));
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), plain);
}

// A value set as its writing alone reads as the value it was written from, the file is the one
// the value gives, the same writing set again changes nothing, and any other set or removal of the
// key replaces it. A missing writing is refused.
TEST(UserDefaults, AValueSetAsWrittenIsTheValueItWasWrittenFrom) {
    Array list;
    for (int i = 0; i < 300; ++i)
        list.push_back(Value::dictionary({{"id", i}, {"name", "n" + std::to_string(i % 7)}, {"at", 0.5 * i}}));
    auto fileText = [](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const fs::path plainFile = prefsFile("plain-value");
    {
        UserDefaults plain(plainFile);
        plain.setString("before", "x");
        plain.set("list", Value(list));
        plain.setInteger("after", 2);
        ASSERT_TRUE(plain.synchronize());
    }

    const fs::path file = prefsFile("written-value");
    UserDefaults d(file);
    d.setString("before", "x");
    d.setWrittenValue("list", bplist::writeOnItsOwn(Value(list)));
    d.setInteger("after", 2);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(fileText(file), fileText(plainFile));
    // Another instance over the file reads it; this one makes the value when it is read.
    EXPECT_EQ(UserDefaults(file).object("list"), Value(list));
    EXPECT_EQ(d.array("list"), list);
    EXPECT_EQ(d.dictionaryRepresentation().keys(), (std::vector<std::string>{"before", "list", "after"}));

    const uint64_t writes = d.fileWrites();
    d.setWrittenValue("list", bplist::writeOnItsOwn(Value(list)));
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(d.fileWrites(), writes);

    // Another writing replaces it in its place.
    Array shorter(list.begin(), list.begin() + 3);
    d.setWrittenValue("list", bplist::writeOnItsOwn(Value(shorter)));
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(d.fileWrites(), writes + 1);
    EXPECT_EQ(UserDefaults(file).dictionaryRepresentation().keys(),
              (std::vector<std::string>{"before", "list", "after"}));
    EXPECT_EQ(UserDefaults(file).array("list"), shorter);

    d.set("list", Value("plain now"));
    EXPECT_EQ(d.string("list"), "plain now");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(file).string("list"), "plain now");
    d.setWrittenValue("list", bplist::writeOnItsOwn(Value(shorter)));
    d.remove("list");
    EXPECT_TRUE(d.object("list").isAbsent());
    EXPECT_TRUE(d.synchronize());
    EXPECT_TRUE(UserDefaults(file).object("list").isAbsent());

    CaptureLogSink capture;
    d.setWrittenValue("list", nullptr);
    EXPECT_TRUE(d.object("list").isAbsent());
    ASSERT_EQ(capture.entries().size(), 1u);
    EXPECT_EQ(capture.entries()[0].type, LogType::Error);
}

// A replaced standard instance that held a value as its writing alone reads it back from its file.
TEST(UserDefaults, AValueSetAsWrittenOutlivesTheInstancesValues) {
    UserDefaults& old = UserDefaults::standard();
    const Value list = Value::array({Value::dictionary({{"feed_id", "f1"}}), Value::dictionary({{"feed_id", "f2"}})});
    old.setWrittenValue("KJTips_Server", bplist::writeOnItsOwn(list));
    UserDefaults::resetStandardForTesting();
    EXPECT_EQ(old.object("KJTips_Server"), list);
    EXPECT_EQ(UserDefaults::standard().object("KJTips_Server"), list);
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

// Files of the process may grow to the given size only, while it lives (a full disk, as far as the
// writer can tell: a write past it fails with EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

// A write that fails is reported, leaves the file as it was and no stray file beside it, and keeps
// the changes: the next write that can be made writes them.
TEST(UserDefaults, AFileThatCannotBeWrittenIsReportedAndLosesNothing) {
    Clock::useVirtual();  // no background write: the test says when
    fs::path file = prefsFile("full");
    UserDefaults d(file);
    d.setString("name", "Ada");
    ASSERT_TRUE(d.synchronize());
    auto bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string before = bytes();

    d.setString("name", "Grace");
    d.set("blob", Data(4096, 7));
    {
        FileSizeLimit full(64);
        CaptureLogSink capture;
        EXPECT_FALSE(d.synchronize());
        ASSERT_EQ(capture.entries().size(), 1u);
        EXPECT_EQ(capture.entries()[0].type, LogType::Error);
        EXPECT_EQ(capture.messages()[0], "Cannot write user defaults " + file.string() + ": " + std::strerror(EFBIG));
    }
    EXPECT_EQ(bytes(), before);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        if (e.path().filename().string().starts_with("full.plist")) ++files;
    EXPECT_EQ(files, 1u) << "no partly written file is left";
    EXPECT_EQ(d.string("name"), "Grace");

    EXPECT_TRUE(d.synchronize());
    UserDefaults after(file);
    EXPECT_EQ(after.string("name"), "Grace");
    EXPECT_EQ(after.data("blob"), Data(4096, 7));
}

TEST(UserDefaults, StandardLivesInThePreferencesOfTheBundleIdentifier) {
    Bundle::createMainBundle(Dictionary{{Bundle::kIdentifierKey, "com.example.app"}});
    UserDefaults::standard().setBool("seen", true);
    fs::path expected = AppContainer::libraryDirectory() / "Preferences" / "com.example.app.plist";
    EXPECT_EQ(UserDefaults::standard().file(), expected);
    EXPECT_TRUE(UserDefaults(expected).bool_("seen"));
}

// A replaced standard instance lets go of its values (a test that takes in a large feed in each of
// many containers would otherwise keep every one of them), yet whoever still holds it reads and
// changes the same values as before.
TEST(UserDefaults, AReplacedStandardInstanceAnswersFromItsFileAndLosesNothing) {
    UserDefaults& old = UserDefaults::standard();
    old.setString("name", "Ada");
    old.set("list", Value::array({1, "two"}));
    const fs::path file = old.file();
    UserDefaults::resetStandardForTesting();

    // Changed before anything is read: the values it had are still there beside the change.
    old.setInteger("count", 3);
    ASSERT_TRUE(old.synchronize());
    Value onDisk(UserDefaults(file).dictionaryRepresentation());
    EXPECT_EQ(onDisk["name"], Value("Ada"));
    EXPECT_EQ(onDisk["list"], Value::array({1, "two"}));
    EXPECT_EQ(onDisk["count"], Value(3));

    old.remove("name");
    EXPECT_EQ(Value(old.dictionaryRepresentation()),
              Value(Dictionary{{"list", Value::array({1, "two"})}, {"count", 3}}));
    // The removal reaches the file now, not when the process ends and the case's container is gone.
    ASSERT_TRUE(old.synchronize());
    EXPECT_TRUE(UserDefaults(file).object("name").isAbsent());
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

// Many changes close together reach the file in a few writes; a value set again unchanged, and a
// synchronize with nothing pending, write nothing.
TEST(UserDefaults, ChangesAreWrittenTogetherAndOnlyWhenSomethingChanged) {
    fs::path file = prefsFile("coalesced");
    UserDefaults d(file);
    Array campaigns;
    for (int i = 0; i < 200; ++i) campaigns.push_back(Value::dictionary({{"feed_id", std::to_string(i)}}));
    for (int i = 0; i < 1000; ++i) d.setInteger("counter", i);
    d.set("KJTips_Server", Value(campaigns));
    EXPECT_EQ(d.integer("counter"), 999) << "a change is visible at once";
    ASSERT_TRUE(d.synchronize());
    const uint64_t writes = d.fileWrites();
    EXPECT_GE(writes, 1u);
    EXPECT_LT(writes, 100u) << "1,001 changes, each written on its own";
    EXPECT_EQ(UserDefaults(file).integer("counter"), 999);

    d.set("KJTips_Server", Value(campaigns));
    d.setInteger("counter", 999);
    EXPECT_TRUE(d.synchronize());
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(d.fileWrites(), writes);

    d.remove("missing");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(d.fileWrites(), writes);
    d.remove("counter");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(d.fileWrites(), writes + 1);
    EXPECT_TRUE(UserDefaults(file).object("counter").isAbsent());
}

constexpr const char* kChildFile = "BRINDLECUE_DEFAULTS_FILE";
constexpr const char* kChildPipe = "BRINDLECUE_DEFAULTS_PIPE";
constexpr const char* kChildEnd = "BRINDLECUE_DEFAULTS_END";

// The child of the tests below. It sets values in the given file; with the end "kill" it
// synchronizes, tells the parent, changes one more value and waits to be killed; with the end
// "exit" it leaves through exit(0) without synchronizing. Skipped when run on its own.
TEST(UserDefaultsChild, Writer) {
    const char* file = std::getenv(kChildFile);
    const char* pipeFd = std::getenv(kChildPipe);
    const char* end = std::getenv(kChildEnd);
    if (file == nullptr || pipeFd == nullptr || end == nullptr)
        GTEST_SKIP() << "runs as a child of the tests below";
    auto& d = *new UserDefaults(file);  // lives to the end of the process, as the standard one does
    d.setString("name", "Ada");
    for (int i = 0; i < 50; ++i) d.setInteger("k" + std::to_string(i), i);
    if (std::string(end) == "exit") std::exit(0);
    if (!d.synchronize()) _exit(3);
    const int out = std::atoi(pipeFd);
    if (write(out, "s", 1) != 1) _exit(4);
    d.setString("name", "Grace");  // may or may not reach the file before the kill
    for (;;) pause();
}

// Runs the child with the end; answers its wait status.
int runChild(const fs::path& file, const char* end, bool killAfterSynchronize) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        // A fresh image: the parent's worker threads do not exist in a forked child.
        close(fds[0]);
        setenv(kChildFile, file.c_str(), 1);
        setenv(kChildPipe, std::to_string(fds[1]).c_str(), 1);
        setenv(kChildEnd, end, 1);
        execl("/proc/self/exe", "platform_tests", "--gtest_filter=UserDefaultsChild.Writer", nullptr);
        _exit(127);
    }
    close(fds[1]);
    if (killAfterSynchronize) {
        char mark = 0;
        if (read(fds[0], &mark, 1) == 1) kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);
    return status;
}

// A process killed right after a completed synchronize leaves every value it had set in the file.
TEST(UserDefaults, ACompletedSynchronizeSurvivesAKill) {
    fs::path file = prefsFile("killed");
    int status = runChild(file, "kill", true);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
    UserDefaults after(file);
    const std::string name = after.string("name").value_or("");
    EXPECT_TRUE(name == "Ada" || name == "Grace") << name;
    EXPECT_EQ(after.integer("k49"), 49);
    EXPECT_EQ(after.dictionaryRepresentation().size(), 51u);
    // The file is whole, and no temporary file is left beside it but one being written at the kill.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        if (e.path().filename().string().starts_with("killed.plist")) ++files;
    EXPECT_GE(files, 1u);
    EXPECT_LE(files, 2u);
}

// Leaving the process writes what is pending.
TEST(UserDefaults, ProcessExitWritesThePendingChanges) {
    fs::path file = prefsFile("exited");
    int status = runChild(file, "exit", false);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    UserDefaults after(file);
    EXPECT_EQ(after.string("name"), "Ada");
    EXPECT_EQ(after.integer("k49"), 49);
}

}  // namespace
}  // namespace brindlecue::platform
