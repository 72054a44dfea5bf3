#include "platform/Crypto.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace brindlecue::platform {
namespace {

TEST(Crypto, Md5KnownDigests) {
    EXPECT_EQ(Crypto::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Crypto::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Crypto::md5Hex(Data{'a', 'b', 'c'}), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Crypto, Base64RoundTripsEveryPaddingLength) {
    EXPECT_EQ(Crypto::base64Encode(Data{'M', 'a', 'n'}), "TWFu");
    EXPECT_EQ(Crypto::base64Encode(Data{'M', 'a'}), "TWE=");
    EXPECT_EQ(Crypto::base64Encode(Data{'M'}), "TQ==");
    EXPECT_EQ(Crypto::base64Encode(Data{}), "");
    Data bytes;
    for (int n = 0; n < 20; ++n) {
        auto decoded = Crypto::base64Decode(Crypto::base64Encode(bytes));
        ASSERT_TRUE(decoded.has_value()) << n;
        EXPECT_EQ(*decoded, bytes) << n;
        bytes.push_back(static_cast<uint8_t>(n * 37 + 200));
    }
    EXPECT_EQ(Crypto::base64Decode("+/8="), (Data{0xfb, 0xff}));
}

TEST(Crypto, Base64RejectsInvalidText) {
    for (const char* bad : {"TWF", "TWFu=", "TW=u", "T===", "TW E", "TWF\n", "TW-_", "===="}) {
        EXPECT_EQ(Crypto::base64Decode(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(Crypto::base64Decode(std::string_view("TWFu\0AAA", 8)), std::nullopt);
}

TEST(Crypto, UuidStringsAreVersion4InTheirCaseAndUnique) {
    std::regex upper("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::regex lower("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string id = Crypto::uuidString();
        EXPECT_TRUE(std::regex_match(id, upper)) << id;
        seen.insert(id);
        std::string lowered = Crypto::lowercaseUUIDString();
        EXPECT_TRUE(std::regex_match(lowered, lower)) << lowered;
        seen.insert(lowered);
    }
    EXPECT_EQ(seen.size(), 200u);
}

// A forked child and its parent never hand out the same identifiers.
TEST(Crypto, UuidStringsDifferAcrossFork) {
    Crypto::uuidString();  // the parent has random bytes in hand
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string id = Crypto::uuidString();
        ssize_t written = write(fds[1], id.data(), id.size());
        _exit(written == 36 ? 0 : 1);
    }
    std::string parent = Crypto::uuidString();
    char buffer[36];
    ASSERT_EQ(read(fds[0], buffer, sizeof buffer), 36);
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(std::string(buffer, 36), parent);
}

}  // namespace
}  // namespace brindlecue::platform
