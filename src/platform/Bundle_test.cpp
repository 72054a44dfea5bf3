#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/AppContainer.h"

namespace brindlecue::platform {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const Data& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(AppContainer, DirectoriesLiveUnderTheRootAndAreCreated) {
    fs::path root = std::getenv("BRINDLECUE_CONTAINER");
    EXPECT_EQ(AppContainer::root(), root);
    EXPECT_EQ(AppContainer::documentsDirectory(), root / "Documents");
    EXPECT_EQ(AppContainer::cachesDirectory(), root / "Library" / "Caches");
    EXPECT_EQ(AppContainer::temporaryDirectory(), root / "tmp");
    EXPECT_TRUE(fs::is_directory(root / "Library" / "Caches"));
    EXPECT_TRUE(fs::is_directory(root / "tmp"));

    fs::path other = root / "elsewhere";
    AppContainer::setRoot(other);
    EXPECT_EQ(AppContainer::libraryDirectory(), other / "Library");
    EXPECT_TRUE(fs::is_directory(other / "Library"));
    AppContainer::setRoot({});
    EXPECT_EQ(AppContainer::root(), root);
}

TEST(Bundle, MainBundleDefaultsToAHostAppInTheContainer) {
    auto main = Bundle::main();
    EXPECT_EQ(main->path(), AppContainer::root() / "App.app");
    EXPECT_EQ(main->bundleIdentifier(), "com.brindlecue.host");
    EXPECT_TRUE(main->objectForInfoDictionaryKey(Bundle::kShortVersionStringKey).isString());
    EXPECT_TRUE(main->objectForInfoDictionaryKey("NoSuchKey").isAbsent());
    EXPECT_EQ(Bundle::main(), main);
}

TEST(Bundle, CreatedInfoDictionaryReadsBack) {
    Dictionary info{{Bundle::kIdentifierKey, "com.example.shop"},
                    {Bundle::kNameKey, "Shop"},
                    {Bundle::kVersionKey, "42"},
                    {"Custom", Value::dictionary({{"n", 3}})}};
    Bundle::createMainBundle(info);
    auto main = Bundle::main();
    EXPECT_EQ(main->bundleIdentifier(), "com.example.shop");
    EXPECT_EQ(main->infoDictionary(), Value(info));

    // A fresh read of the same directory sees the file, not a cached copy.
    auto reopened = Bundle::atPath(main->path());
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->objectForInfoDictionaryKey("Custom")["n"].integerValue(), 3);
}

TEST(Bundle, ReadsBinaryInfoPlistAndToleratesABrokenOne) {
    fs::path dir = AppContainer::temporaryDirectory() / "Other.bundle";
    writeFile(dir / "Info.plist", *Value::dictionary({{Bundle::kIdentifierKey, "com.example.other"}})
                                       .toPropertyList(PropertyListFormat::Binary));
    EXPECT_EQ(Bundle::atPath(dir)->bundleIdentifier(), "com.example.other");

    writeFile(dir / "Info.plist", Data{'n', 'o', 'p', 'e'});
    auto broken = Bundle::atPath(dir);
    EXPECT_TRUE(broken->infoDictionary().isDictionary());
    EXPECT_EQ(broken->infoDictionary().count(), 0u);
    EXPECT_EQ(broken->bundleIdentifier(), std::nullopt);

    EXPECT_EQ(Bundle::atPath(dir / "missing"), nullptr);
}

TEST(Bundle, FindsResourcesAndNamedResourceBundles) {
    auto main = Bundle::main();
    writeFile(main->path() / "logo.png", Data{1});
    writeFile(main->path() / "LICENSE", Data{1});
    writeFile(main->path() / "BrindlecueResources.bundle" / "close.png", Data{1});

    EXPECT_EQ(main->pathForResource("logo", "png"), main->path() / "logo.png");
    EXPECT_EQ(main->pathForResource("LICENSE", ""), main->path() / "LICENSE");
    EXPECT_EQ(main->pathForResource("logo", "jpg"), std::nullopt);
    EXPECT_EQ(main->pathForResource("", ""), std::nullopt);

    auto resources = Bundle::withName("BrindlecueResources");
    ASSERT_NE(resources, nullptr);
    EXPECT_TRUE(resources->pathForResource("close", "png").has_value());
    EXPECT_EQ(Bundle::withName("Missing"), nullptr);
}

}  // namespace
}  // namespace brindlecue::platform
