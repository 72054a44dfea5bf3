#include "presentation/KJTipImageElement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "feed/KJTipElement.h"
#include "imaging/KJFLAnimatedImageView.h"
#include "platform/Bundle.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "support/TestImages.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {
namespace {

using namespace platform;

std::shared_ptr<KJTipImageElement> parse(std::initializer_list<Dictionary::Entry> entries) {
    return KJTipImageElement::createFromFeed(Value(Dictionary(entries)));
}

void writeFile(const std::filesystem::path& file, const Data& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class TipImageLayoutTest : public testing::Test {
protected:
    void SetUp() override {
        window = make<UIWindow>();
        window->makeKeyAndVisible();
        content = make<UIView>(CGRect(10, 10, 300, 200));
        window->addSubview(content);
        writeFile(Bundle::main()->path() / "badge.png", testsupport::makeTestPNG(40, 20));
        RunLoop::main().runUntilIdle();
    }
    void TearDown() override { window->setHidden(true); }

    // The content view's image views, front to back as laid out.
    std::vector<std::shared_ptr<UIImageView>> imageViews() const {
        std::vector<std::shared_ptr<UIImageView>> out;
        for (const auto& subview : content->subviews())
            if (auto view = std::dynamic_pointer_cast<UIImageView>(subview)) out.push_back(view);
        return out;
    }

    // Lays the images out and runs the main queue until each has its constraints.
    std::vector<std::shared_ptr<UIImageView>> layOut(
        const std::vector<std::shared_ptr<KJTipBaseElement>>& images) {
        KJTipImageElement::layoutImageElements(images, content, {300, 200}, {});
        EXPECT_TRUE(RunLoop::main().runUntil([&] {
            auto views = imageViews();
            return views.size() == images.size() &&
                   std::all_of(views.begin(), views.end(), [](const auto& v) {
                       return !UIViewKJMASConstraints::mas_installedConstraints(v).empty();
                   });
        }));
        return imageViews();
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> content;
};

TEST(KJTipImageElement, ReadsTheImageRecordAndIsTheCampaignModelsImage) {
    auto image = parse({{"resource", "https://cdn.example.com/hero.png"},
                        {"width", "50%"},
                        {"height", 120},
                        {"image-align", "right-bottom"},
                        {"background-color", "#FF112233"},
                        {"margin-left", "12"},
                        {"box-shadow", 3},
                        {"corner-radius", 8}});
    EXPECT_DOUBLE_EQ(image->width, 0.5) << "a fraction until layout";
    EXPECT_EQ(image->feedWidth, "50%");
    EXPECT_DOUBLE_EQ(image->height, 120);
    EXPECT_EQ(image->feedHeight, "120");
    EXPECT_EQ(image->imageAlign, 8);
    EXPECT_DOUBLE_EQ(image->margin.left, 12);
    EXPECT_EQ(image->placeholder, "");
    EXPECT_FALSE(image->scale);
    EXPECT_TRUE(
        KJTipImageElement::deserializeFromDictionary(image->serializeToDictionary())->isEqual(image.get()));

    // Alignment words are exact: capitals and unknown words read as "center-top".
    EXPECT_EQ(parse({{"image-align", "Center-Top"}})->imageAlign, 3);
    EXPECT_EQ(parse({{"image-align", "left-middle"}})->imageAlign, 1);
    EXPECT_EQ(parse({})->imageAlign, 3);
    EXPECT_EQ(parse({})->resource, "");
    EXPECT_FALSE(KJTipImageElement::createFromFeed(Value("hero.png")));

    KJTipImageElement::registerWithCampaignModel();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJTipImageElement>(KJElementClass::createFromFeed(
        KJTipElement::kImageClassName, Value::dictionary({{"resource", "a"}}))));
    KJElementClass::registerFactories(KJTipElement::kImageClassName, {});

    // The kind of view: remote images play GIFs, except SVGs (never drawn); local ones are plain.
    EXPECT_TRUE(std::dynamic_pointer_cast<KJFLAnimatedImageView>(
        KJTipImageElement::createImageView(*parse({{"resource", "HTTPS://cdn.example.com/spin.GIF"}}))));
    for (const char* plain : {"https://cdn.example.com/logo.svg", "badge"}) {
        auto view = KJTipImageElement::createImageView(*parse({{"resource", plain}}));
        EXPECT_FALSE(std::dynamic_pointer_cast<KJFLAnimatedImageView>(view)) << plain;
    }
}

TEST(KJTipImageElement, SizesAnImageAgainstTheContentAndItsOwnSize) {
    const CGSize wide{600, 300};
    auto sized = [](const char* w, const char* h, CGSize content, std::optional<CGSize> own) {
        return KJTipImageElement::scaledSize(w, h, content, own);
    };
    EXPECT_EQ(sized("50%", "", {300, 400}, wide), (CGSize{150, 75}));
    EXPECT_EQ(sized("", "", {280, 400}, wide), (CGSize{280, 140}));
    EXPECT_EQ(sized("", "", {800, 400}, wide), (CGSize{600, 300})) << "never wider than its pixels";
    EXPECT_EQ(sized("100", "", {300, 400}, wide), (CGSize{100, 50}));
    EXPECT_EQ(sized("", "100", {300, 400}, wide), (CGSize{200, 100}));
    // Limits do not keep the proportions.
    EXPECT_EQ(sized("", "500", {300, 400}, wide), (CGSize{300, 400}));
    EXPECT_EQ(sized("80", "30", {300, 400}, wide), (CGSize{80, 30}));
    // An image whose size is unknown has no proportions: a missing side spans the content.
    EXPECT_EQ(sized("", "", {300, 400}, std::nullopt), (CGSize{300, 400}));
    EXPECT_EQ(sized("100", "", {300, 400}, std::nullopt), (CGSize{100, 400}));
}

TEST_F(TipImageLayoutTest, LaysImagesOutBehindTheTipInTheNineAlignments) {
    auto label = make<UILabel>(CGRect(0, 0, 300, 20));
    content->addSubview(label);
    const char* words[] = {"left-top",      "left-middle", "left-bottom",  "center-top",  "center-middle",
                           "center-bottom", "right-top",   "right-middle", "right-bottom"};
    std::vector<std::shared_ptr<KJTipBaseElement>> images;
    for (const char* word : words) {
        images.push_back(parse({{"resource", "badge"},
                                {"image-align", word},
                                {"margin-top", 5},
                                {"margin-bottom", 5},
                                {"margin-left", 5},
                                {"margin-right", 5}}));
    }
    auto shadowed = parse({{"resource", "badge"}, {"width", "60"}, {"box-shadow", 3}, {"corner-radius", 8}});
    images.push_back(shadowed);
    auto views = layOut(images);
    ASSERT_EQ(views.size(), 10u);
    EXPECT_EQ(content->subviews().back(), label) << "the images lie behind the tip's own views";

    // The first image of the list is the rearmost, the others in order above it.
    const CGRect expected[] = {{5, 5, 40, 20},   {5, 95, 40, 20},   {5, 175, 40, 20},
                               {130, 5, 40, 20}, {130, 95, 40, 20}, {135, 175, 40, 20},
                               {255, 5, 40, 20}, {255, 95, 40, 20}, {255, 175, 40, 20}};
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(words[i]);
        const auto& view = views[i];
        EXPECT_EQ(view->frame(), expected[i]);
        EXPECT_EQ(UIViewKJMASConstraints::mas_installedConstraints(view).size(), 4u);
        EXPECT_EQ(view->contentMode(), UIViewContentMode::ScaleToFill);
        ASSERT_TRUE(view->image());
        EXPECT_EQ(view->image()->size(), (CGSize{40, 20}));
        EXPECT_TRUE(view->clipsToBounds());
        auto record = std::static_pointer_cast<KJTipImageElement>(images[i]);
        EXPECT_EQ((CGSize{record->width, record->height}), (CGSize{40, 20})) << "the record keeps the size";
        EXPECT_TRUE(record->scale);
    }
    // The tenth: 60 points wide keeps the proportions, is centred at the top and casts a shadow
    // instead of clipping its corners.
    const auto& last = views[9];
    EXPECT_EQ(last->frame(), CGRect(120, 0, 60, 30));
    EXPECT_FALSE(last->clipsToBounds());
    EXPECT_EQ(last->layer()->shadowOffset, (CGSize{3, 3}));
    EXPECT_DOUBLE_EQ(last->layer()->shadowOpacity, 0.5);
    EXPECT_DOUBLE_EQ(last->layer()->shadowRadius, 8);
}

TEST_F(TipImageLayoutTest, TheWorkerMeasuresACopyAndTheRecordChangesOnTheMainQueueOnly) {
    auto image = parse({{"resource", "badge"}, {"width", "50%"}});
    KJTipImageElement::layoutImageElements({image}, content, {300, 200}, {});
    // The main queue holds the content view's layout pass, then the worker's three steps (size and
    // content mode, image, constraints); until it runs them the record is as parsed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (RunLoop::main().pendingCount() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(RunLoop::main().pendingCount(), 4u);
    EXPECT_DOUBLE_EQ(image->width, 0.5);
    EXPECT_FALSE(image->scale);
    RunLoop::main().runUntilIdle();
    EXPECT_DOUBLE_EQ(image->width, 150);
    EXPECT_DOUBLE_EQ(image->height, 75);
    EXPECT_EQ(imageViews().front()->frame(), CGRect(75, 0, 150, 75));
}

TEST_F(TipImageLayoutTest, LocalImagesComeFromTheAppOrTheLibraryWithAPlaceholderForTheMissing) {
    writeFile(Bundle::main()->path() / "photo.jpg", testsupport::makeTestJPEG(30, 30));
    writeFile(Bundle::main()->path() / "BrindlecueResources.bundle" / "default-image-placeholder@2x.png",
              testsupport::makeTestPNG(100, 50));
    EXPECT_EQ(KJTipImageElement::getLocalImage("photo")->size(), (CGSize{30, 30}));
    EXPECT_EQ(KJTipImageElement::getLocalImage("badge")->size(), (CGSize{40, 20}));

    auto missing = parse({{"resource", "nowhere"}, {"image-align", "left-top"}});
    auto views = layOut({missing});
    ASSERT_EQ(views.size(), 1u);
    ASSERT_TRUE(views[0]->image());
    EXPECT_EQ(views[0]->image()->size(), (CGSize{50, 25})) << "the library's placeholder, at 2x";
    EXPECT_EQ(views[0]->frame(), CGRect(0, 0, 50, 25)) << "sized from the placeholder";
}

}  // namespace
}  // namespace brindlecue
