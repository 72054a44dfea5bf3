#include "feed/KJTipCarouselElement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "feed/KJTipButtonElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/UIColorKJExt.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {
namespace {

using platform::Value;

Value document(const std::string& json) {
    auto v = Value::fromJSON(json);
    EXPECT_TRUE(v) << json;
    return v.value_or(Value());
}

std::shared_ptr<KJTipCarouselItem> page(const std::string& json) {
    return KJTipCarouselItem::createFromFeed(document(json));
}

std::string hex(const std::optional<platform::Color>& color) {
    return UIColorKJExt::blqHexStringFromColor(color).value_or("none");
}

TEST(KJTipCarouselElement, PagesAndTheirDefaults) {
    EXPECT_FALSE(KJTipCarouselElement::createFromFeed(document(R"({})"))->items.has_value());
    EXPECT_FALSE(KJTipCarouselElement::createFromFeed(document(R"({"items": "x"})"))->items.has_value());
    EXPECT_TRUE(KJTipCarouselElement::createFromFeed(document(R"({"items": []})"))->items->empty());

    auto carousel = KJTipCarouselElement::createFromFeed(document(
        R"({"margin-top": 5, "items": [{"id": "a"}, 3, "x", {"id": "b"}], "border-color": "#FFF"})"));
    EXPECT_EQ(carousel->margin, (FourSide{5, 0, 0, 0}));
    EXPECT_EQ(hex(carousel->borderColor), "#FFFFFFFF");
    ASSERT_EQ(carousel->items->size(), 2u);
    EXPECT_EQ(carousel->items->at(0)->suid, "a");
    EXPECT_EQ(carousel->items->at(1)->suid, "b");

    for (const char* json : {R"({})", R"({"title-color": null})", R"({"title-color": 5})"}) {
        auto p = page(json);
        EXPECT_EQ(hex(p->titleColor), "#FF000000") << json;
        EXPECT_EQ(hex(p->contentColor), "#FF000000") << json;
        EXPECT_FALSE(p->backgroundColor.has_value());
        EXPECT_EQ(p->titleText, "");
        EXPECT_EQ(p->imageSource, "");
    }
    EXPECT_EQ(page(R"({"title": 12})")->titleText, "12");
}

TEST(KJTipCarouselElement, PageButtons) {
    EXPECT_FALSE(page(R"({"button-text": "", "button-width": 120})")->button);
    EXPECT_FALSE(page(R"({"button-width": 120})")->button);
    EXPECT_FALSE(page(R"({"button-text": 5})")->button);

    auto b = page(R"({"button-text": "Shop", "button-width": "50%", "button-height": "50%",
        "button-text-alignment": "middle", "button-text-font-size": 13, "button-margin-left": 4,
        "button-background": "#00FF00", "button-radius": 9, "button-border-width": 1,
        "button-text-color": "#0000FF"})")
                 ->button;
    ASSERT_TRUE(b);
    EXPECT_EQ(b->buttonText, "Shop");
    EXPECT_DOUBLE_EQ(b->width, 0.5);
    EXPECT_EQ(b->buttonWidthUnit, "PERCENTAGE");
    EXPECT_DOUBLE_EQ(b->height, 0.5);
    EXPECT_EQ(b->alignment, 0);
    EXPECT_EQ(b->fontSize, 13);
    EXPECT_EQ(b->fontName, "");
    EXPECT_EQ(b->margin.left, 4);
    EXPECT_EQ(b->borderCornerRadius, 9);
    EXPECT_EQ(hex(b->backgroundColor), "#FF00FF00");
    EXPECT_EQ(hex(b->textColor), "#FF0000FF");
    EXPECT_FALSE(b->borderColor.has_value());

    b = page(R"({"button-text": "Shop", "button-width": 120})")->button;
    EXPECT_EQ(b->width, 120);
    EXPECT_FALSE(b->buttonWidthUnit.has_value());
}

TEST(KJTipCarouselElement, StoredFormAndEquality) {
    auto carousel = KJTipCarouselElement::createFromFeed(document(R"({"box-shadow": 2, "items": [
        {"id": "a", "title": "One", "button-text": "Go", "button-width": 80},
        {"id": "b", "title": "Two", "title-font-name": "Arial", "title-font-size": 20}]})"));
    Value stored = carousel->serializeToDictionary();
    ASSERT_EQ(stored["items"].count(), 2u);
    EXPECT_EQ(stored["items"][0]["button"]["buttonText"], Value("Go"));
    for (const char* never : {"image", "icon", "titleFont", "contentFont"}) {
        EXPECT_TRUE(stored["items"][0][never].isAbsent()) << never;
    }
    auto back = KJTipCarouselElement::deserializeFromDictionary(stored);
    EXPECT_TRUE(back->isEqual(carousel.get()));
    EXPECT_EQ(back->items->at(1)->titleFont().fontName, "Arial");
    EXPECT_EQ(back->items->at(1)->titleFont().pointSize, 20);
    EXPECT_FALSE(back->items->at(0)->image);

    // A page with a button never equals one without; buttons compare as buttons.
    auto withButton = back->items->at(0);
    auto without = page(R"({"id": "a", "title": "One"})");
    EXPECT_FALSE(withButton->isEqual(without.get()));
    EXPECT_FALSE(without->isEqual(withButton.get()));
    EXPECT_TRUE(without->isEqual(page(R"({"id": "a", "title": "One"})").get()));
    // Pages compare as members, in any order; an absent list counts as an empty one.
    std::reverse(back->items->begin(), back->items->end());
    EXPECT_TRUE(back->isEqual(carousel.get()));
    withButton->button->width = 81;
    EXPECT_FALSE(back->isEqual(carousel.get()));
    back->items.emplace();
    EXPECT_TRUE(back->isEqual(KJTipCarouselElement::createFromFeed(document(R"({"box-shadow": 2})")).get()));
}

TEST(KJTipCarouselElement, LoadedImagesAreAnnouncedThenAssignedOnTheMainQueue) {
    KJTipUtil::setImageDecoding({[](const platform::Data&) {
                                     return std::make_shared<platform::UIImage>(platform::CGSize{2, 2});
                                 },
                                 nullptr});
    std::ofstream(platform::Bundle::main()->path() / "hero.png", std::ios::binary) << "PNG";
    std::vector<std::string> sources;
    std::shared_ptr<void> poster;
    bool hadImage = false;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        "KJ_PrepareImage", nullptr, nullptr, [&](const platform::Notification& n) {
            sources.push_back(n.userInfo()["source"].stringValue());
            poster = n.object();
            hadImage = n.object<platform::UIImage>("image") != nullptr;
        });

    auto item = page(R"({"image": "hero.png", "icon": "missing.png"})");
    EXPECT_EQ(sources, std::vector<std::string>{"hero.png"});  // the missing icon loads nothing
    EXPECT_EQ(poster, item);
    EXPECT_TRUE(hadImage);
    EXPECT_FALSE(item->image);  // not yet: the assignment waits for the main queue
    platform::RunLoop::main().runUntilIdle();
    EXPECT_TRUE(item->image);
    EXPECT_FALSE(item->icon);

    // Read back from the stored form, the page loads its images again.
    auto back = KJTipCarouselItem::deserializeFromDictionary(item->serializeToDictionary());
    EXPECT_EQ(sources.size(), 2u);
    platform::RunLoop::main().runUntilIdle();
    EXPECT_TRUE(back->image);
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
    KJTipUtil::setImageDecoding({});
}

}  // namespace
}  // namespace brindlecue
