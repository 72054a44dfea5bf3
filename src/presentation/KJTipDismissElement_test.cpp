#include "presentation/KJTipDismissElement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Bundle.h"
#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/KJAlertView.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJTipPresentation.h"
#include "tips/BLQTipViewControllerRegistry.h"

namespace brindlecue {
namespace {

using namespace platform;

std::shared_ptr<KJTipDismissElement> parse(Value document) {
    return KJTipDismissElement::createFromFeed(document);
}

TEST(KJTipDismissElement, ReadsTheCloseButtonWithItsDefaults) {
    auto plain = parse(Value::dictionary({{"file-name", "Close-Icon"}}));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->icon, "close.png");
    EXPECT_DOUBLE_EQ(plain->width, 30);
    EXPECT_DOUBLE_EQ(plain->height, 30);
    EXPECT_EQ(plain->buttonColor, Color(UIColor::blackColor()));
    EXPECT_EQ(plain->backgroundColor, Color(UIColor::clearColor()));
    EXPECT_EQ(plain->borderColor, Color(UIColor::clearColor()));

    auto odd = parse(Value::dictionary({{"file-name", "help"},
                                        {"width", -10},
                                        {"height", "12.5pt"},
                                        {"border-width", -2},
                                        {"corner-radius", -5},
                                        {"background-color", "#FF336699"},
                                        {"b1", ""},
                                        {"b2", "Keep"},
                                        {"title", 7},
                                        {"content", "Sure?"},
                                        {"padding-left", 3},
                                        {"margin-bottom", 4}}));
    EXPECT_EQ(odd->icon, "help-circled.png");
    EXPECT_DOUBLE_EQ(odd->width, -10);
    EXPECT_DOUBLE_EQ(odd->height, 12.5);
    EXPECT_DOUBLE_EQ(odd->borderWidth, 0);
    EXPECT_DOUBLE_EQ(odd->borderCornerRadius, 0);
    EXPECT_EQ(odd->borderColor, odd->backgroundColor) << "the border takes the background colour";
    EXPECT_EQ(odd->dismissB1, "");
    EXPECT_EQ(odd->dismissB2, "Keep");
    EXPECT_FALSE(odd->dialogTitle) << "a number is no text";
    EXPECT_EQ(odd->dialogContent, "Sure?");
    EXPECT_EQ(odd->padding, (FourSide{0, 0, 3, 0}));
    EXPECT_EQ(odd->margin, (FourSide{0, 4, 0, 0}));

    // The stored form reads back equal.
    auto back = KJTipDismissElement::deserializeFromDictionary(odd->serializeToDictionary());
    EXPECT_TRUE(back->isEqual(odd.get()));
    EXPECT_FALSE(back->isEqual(plain.get()));

    // Without a file name (missing or "") the record is empty; a value that is no dictionary
    // gives none. The library's empty-text test takes a number (or null) for a name.
    for (const Value& name : {Value(), Value("")}) {
        Value document = Value::dictionary({{"width", 40}, {"title", "Sure?"}});
        if (!name.isAbsent()) document.set("file-name", name);
        auto empty = parse(document);
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->icon);
        EXPECT_DOUBLE_EQ(empty->width, 0);
        EXPECT_FALSE(empty->buttonColor);
        EXPECT_FALSE(empty->dialogTitle);
    }
    EXPECT_EQ(parse(Value::dictionary({{"file-name", 5}}))->icon, "icon.png");
    EXPECT_FALSE(parse(Value("close")));

    KJTipDismissElement::registerWithCampaignModel();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJTipDismissElement>(
        KJElementClass::createFromFeed("KJTipDismissElement", Value::dictionary({{"file-name", "x"}}))));
    KJElementClass::registerFactories("KJTipDismissElement", {});
}

TEST(KJTipDismissElement, StylesTheCloseButtonWithTheIconFromTheResourceBundle) {
    // A 2x icon in the library's resource bundle inside the app.
    UIGraphicsBeginImageContextWithOptions({10, 10}, false, 2);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::blackColor());
    UIGraphicsGetCurrentContext()->fillRect({2, 2, 6, 6});
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto folder = Bundle::main()->path() / "BrindlecueResources.bundle";
    std::filesystem::create_directories(folder);
    auto png = *UIImagePNGRepresentation(drawn);
    std::ofstream(folder / "close@2x.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    KJTipDismissElement::layoutButton(button, parse(Value::dictionary({{"file-name", ""}})));
    EXPECT_TRUE(button->isHidden());

    auto record = parse(Value::dictionary({{"file-name", "close"},
                                           {"color", "#FF0000"},
                                           {"padding-top", 2},
                                           {"padding-left", 3},
                                           {"border-width", 1},
                                           {"corner-radius", 6},
                                           {"background-color", "#00FF00"}}));
    KJTipDismissElement::layoutButton(button, record);
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{2, 3, 0, 0}));
    auto image = button->imageForState(UIControlStateNormal);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSize(10, 10));
    EXPECT_EQ(image->renderingMode(), UIImageRenderingMode::AlwaysTemplate);
    EXPECT_EQ(button->tintColor(), UIColor::redColor());
    EXPECT_EQ(button->backgroundColor(), UIColor::greenColor());
    EXPECT_EQ(button->layer()->borderColor, UIColor::greenColor());
    EXPECT_DOUBLE_EQ(button->layer()->cornerRadius, 6);

    // An icon no bundle has: the button is still shown and styled, without an image.
    KJTipDismissElement::layoutButton(button, parse(Value::dictionary({{"file-name", "record"}})));
    EXPECT_FALSE(button->isHidden());
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));
}

TEST(KJTipDismissElement, TheEngineMakesModalTipsAndShowsTheCloseDialogAsAnAlert) {
    KJTipPresentation::registerWithTipEngine();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJModalTipViewController>(
        BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::modal)));
    EXPECT_FALSE(BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::pop));

    auto window = make<UIWindow>();
    window->makeKeyAndVisible();
    std::vector<int64_t> pressed;
    ASSERT_TRUE(BLQTipViewControllerRegistry::presentDialog(
        "Leave the tour?", "You can find it later.", {"Yes", "No"},
        [&](int64_t index) { pressed.push_back(index); }));
    std::shared_ptr<KJAlertView> alert;
    for (const auto& view : window->subviews())
        if (auto found = std::dynamic_pointer_cast<KJAlertView>(view)) alert = found;
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Leave the tour?");
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    EXPECT_TRUE(alert->pressButtonAtIndex(1));
    EXPECT_EQ(pressed, std::vector<int64_t>{1});
    BLQTipViewControllerRegistry::registerMaker(BLQTipViewControllerKind::modal, nullptr);
    BLQTipViewControllerRegistry::registerDialogPresenter(nullptr);
    window->setHidden(true);
}

}  // namespace
}  // namespace brindlecue
