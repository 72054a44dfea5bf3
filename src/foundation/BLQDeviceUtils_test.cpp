#include "foundation/BLQDeviceUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/Device.h"

namespace brindlecue {
namespace {

namespace fs = std::filesystem;
using platform::Bundle;
using platform::Value;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void writePlist(const fs::path& path, const Value& v) {
    auto bytes = v.toPropertyList(platform::PropertyListFormat::Binary);
    ASSERT_TRUE(bytes);
    writeFile(path, std::string(bytes->begin(), bytes->end()));
}

fs::path resourceBundle() {
    return Bundle::main()->path() / "BrindlecueResources.bundle";
}

// A provisioning profile: the XML property list inside a signed envelope of binary bytes.
void writeProfile(const Value& profile, bool closed = true) {
    auto xml = profile.toPropertyList(platform::PropertyListFormat::XML);
    ASSERT_TRUE(xml);
    std::string text(xml->begin(), xml->end());
    if (!closed) text = text.substr(0, text.find("</plist>"));
    std::string envelope =
        std::string("\x30\x82\x1f\x9a\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02\xa0", 16) + text +
        std::string("\xa0\x82\x0d\x30\xff\xfe", 6);
    writeFile(Bundle::main()->path() / "embedded.mobileprovision", envelope);
}

Value developmentProfile(bool debuggable) {
    return Value::dictionary({{"Name", "Team Profile"},
                              {"ProvisionedDevices", Value::array({"00008030-001A"})},
                              {"Entitlements", Value::dictionary({{"get-task-allow", debuggable}})}});
}

// The mode is read once per process; every test starts from no profile and no mode read.
class BLQAppModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::error_code ec;
        fs::remove(Bundle::main()->path() / "embedded.mobileprovision", ec);
        blqResetAppModeForTesting();
    }
};

TEST_F(BLQAppModeTest, WithoutAProfileTheAppComesFromTheStore) {
    EXPECT_EQ(blqAppMode(), BLQAppModeAppStore);
}

TEST_F(BLQAppModeTest, DebuggableDevelopmentProfile) {
    writeProfile(developmentProfile(true));
    EXPECT_EQ(blqAppMode(), BLQAppModeInternalDevelopment);
    // Computed once: a later change of the file is not seen.
    writeProfile(developmentProfile(false));
    EXPECT_EQ(blqAppMode(), BLQAppModeInternalDevelopment);
}

TEST_F(BLQAppModeTest, AdhocProfile) {
    writeProfile(developmentProfile(false));
    EXPECT_EQ(blqAppMode(), BLQAppModeInternalAdhoc);
}

TEST_F(BLQAppModeTest, EnterpriseProfile) {
    writeProfile(Value::dictionary({{"ProvisionsAllDevices", true}}));
    EXPECT_EQ(blqAppMode(), BLQAppModeEnterprise);
}

TEST_F(BLQAppModeTest, UnterminatedProfileCountsAsTheStore) {
    writeProfile(developmentProfile(true), false);
    EXPECT_EQ(blqAppMode(), BLQAppModeAppStore);
}

TEST_F(BLQAppModeTest, ModeNames) {
    EXPECT_EQ(blqAppModeString(2), "Internal Development");
    EXPECT_EQ(blqAppModeString(5), "Enterprise");
    EXPECT_EQ(blqAppModeString(6), "");
}

TEST(BLQResources, FindsTheBundleHoldingAResource) {
    auto main = Bundle::main();
    writeFile(main->path() / "logo.png", "png");
    writeFile(resourceBundle() / "close.png", "png");
    writeFile(resourceBundle() / "arrow@2x.png", "png");
    writeFile(resourceBundle() / "arrow@3x.jpg", "jpg");

    EXPECT_EQ(blqFindBundleForResource("logo", "png", false)->path(), main->path());
    EXPECT_EQ(blqFindBundleForResource("close", "png", true)->path(), resourceBundle());
    EXPECT_EQ(blqFindBundleForResource("arrow", "PNG", false),
              nullptr);  // the variants keep the type as given
    EXPECT_EQ(blqFindBundleForResource("arrow", "png", false)->path(), resourceBundle());
    EXPECT_EQ(blqFindBundleForResource("arrow", "jpg", false), nullptr);
    EXPECT_EQ(blqFindBundleForResource("arrow@1x", "png", false), nullptr);
    EXPECT_DEATH(blqFindBundleForResource("missing", "png", true), "Cannot find suitable bundle");
}

TEST(BLQResources, LocalizedStringsFallBackToTheResourceBundleThenTheDefault) {
    platform::DeviceOverrides o;
    o.preferredLanguages = std::vector<std::string>{"fr-FR"};
    platform::Device::setOverrides(o);
    writePlist(Bundle::main()->path() / "fr.lproj" / "Localizable.strings",
               Value::dictionary({{"hello", "Bonjour"}, {"same", "same"}}));
    writePlist(resourceBundle() / "en.lproj" / "Localizable.strings",
               Value::dictionary({{"same", "Pareil"}, {"bye", "Au revoir"}}));

    EXPECT_EQ(blqLocalizedString("hello", "Hi"), "Bonjour");
    EXPECT_EQ(blqLocalizedString("same", ""), "Pareil");
    EXPECT_EQ(blqLocalizedString("bye", "Bye"), "Au revoir");
    EXPECT_EQ(blqLocalizedString("nothing", "Default"), "Default");
    EXPECT_EQ(blqLocalizedString("nothing", ""), "nothing");
    platform::Device::setOverrides({});
}

TEST(BLQDeviceFacts, CarrierAndUniversalLinks) {
    EXPECT_EQ(blqGetCarrierName(), "Other");
    platform::DeviceOverrides o;
    o.systemVersion = "17.2";
    o.carrierName = "Acme Mobile";
    platform::Device::setOverrides(o);
    EXPECT_EQ(blqGetCarrierName(), "Acme Mobile");

    EXPECT_TRUE(blqIsUniversalLinking("https://example.com/a"));
    EXPECT_TRUE(blqIsUniversalLinking("HTTP://example.com"));
    EXPECT_FALSE(blqIsUniversalLinking("myapp://open"));
    EXPECT_FALSE(blqIsUniversalLinking("example.com"));
    EXPECT_FALSE(blqIsUniversalLinking(""));
    o.systemVersion = "8.4";
    platform::Device::setOverrides(o);
    EXPECT_FALSE(blqIsUniversalLinking("https://example.com"));
    // The device's own system version (no override) is a current one.
    platform::Device::setOverrides({});
    EXPECT_TRUE(blqIsUniversalLinking("https://example.com"));
}

}  // namespace
}  // namespace brindlecue
