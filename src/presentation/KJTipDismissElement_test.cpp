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
#include "presentation/BLQTipViewControllerRegistry.h"
#include "presentation/KJAlertView.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJTipPresentation.h"

namespace brindlecue {
namespace {

using namespace platform;

std::shared_ptr<KJTipDismissElement> parse(std::initializer_list<Dictionary::Entry> entries) {
    return KJTipDismissElement::createFromFeed(Value(Dictionary(entries)));
}

TEST(KJTipDismissElement, ReadsTheCloseButtonWithItsDefaults) {
    auto plain = parse({{"file-name", "Close-Icon"}});
    EXPECT_EQ(plain->icon, "close.png");
    EXPECT_EQ(std::make_pair(plain->width, plain->height), std::make_pair(30.0, 30.0));
    EXPECT_EQ(plain->buttonColor, Color(UIColor::blackColor()));
    EXPECT_EQ(plain->backgroundColor, Color(UIColor::clearColor()));
    EXPECT_EQ(plain->borderColor, Color(UIColor::clearColor()));

    auto odd = parse({{"file-name", "help"},
                      {"width", -10},
                      {"border-width", -2},
                      {"corner-radius", -5},
                      {"background-color", "#FF336699"},
                      {"b1", ""},
                      {"b2", "Keep"},
                      {"title", 7}});
    EXPECT_EQ(odd->icon, "help-circled.png");
    EXPECT_DOUBLE_EQ(odd->width, -10);
    EXPECT_DOUBLE_EQ(odd->borderWidth, 0);
    EXPECT_DOUBLE_EQ(odd->borderCornerRadius, 0);
    EXPECT_EQ(odd->borderColor, odd->backgroundColor) << "the border takes the background colour";
    EXPECT_EQ(odd->dismissB2, "Keep");
    EXPECT_FALSE(odd->dialogTitle) << "a number is no text";
    EXPECT_TRUE(
        KJTipDismissElement::deserializeFromDictionary(odd->serializeToDictionary())->isEqual(odd.get()));

    // Without a file name that is text (missing, "", a number or null) the record is empty.
    for (auto empty : {parse({{"width", 40}, {"title", "Sure?"}}), parse({{"file-name", ""}, {"width", 40}}),
                       parse({{"file-name", 5}, {"width", 40}, {"title", "Sure?"}}),
                       parse({{"file-name", nullptr}, {"width", 40}})}) {
        EXPECT_FALSE(empty->icon);
        EXPECT_DOUBLE_EQ(empty->width, 0);
        EXPECT_FALSE(empty->buttonColor);
        EXPECT_FALSE(empty->dialogTitle);
    }
    EXPECT_FALSE(KJTipDismissElement::createFromFeed(Value("close")));
}

TEST(KJTipDismissElement, StylesTheCloseButtonWithTheIconFromTheResourceBundle) {
    // A 2x icon in the library's resource bundle inside the app.
    UIGraphicsBeginImageContextWithOptions({10, 10}, false, 2);
    UIGraphicsGetCurrentContext()->fillRect({2, 2, 6, 6});
    auto png = *UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    auto folder = Bundle::main()->path() / "BrindlecueResources.bundle";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "close@2x.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    KJTipDismissElement::layoutButton(button, parse({{"file-name", ""}}));
    EXPECT_TRUE(button->isHidden());
    button->setHidden(false);
    KJTipDismissElement::layoutButton(button, parse({{"file-name", 5}}));
    EXPECT_TRUE(button->isHidden()) << "a number names no icon";
    KJTipDismissElement::layoutButton(button, parse({{"file-name", "close"},
                                                     {"color", "#FF0000"},
                                                     {"padding-top", 2},
                                                     {"padding-left", 3},
                                                     {"corner-radius", 6},
                                                     {"background-color", "#00FF00"}}));
    EXPECT_FALSE(button->isHidden());
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{2, 3, 0, 0}));
    auto image = button->imageForState(UIControlStateNormal);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{10, 10}));
    EXPECT_EQ(image->renderingMode(), UIImageRenderingMode::AlwaysTemplate);
    EXPECT_EQ(button->tintColor(), UIColor::redColor());
    EXPECT_EQ(button->layer()->borderColor, UIColor::greenColor());
    EXPECT_DOUBLE_EQ(button->layer()->cornerRadius, 6);

    // An icon no bundle has: still shown, without an image.
    KJTipDismissElement::layoutButton(button, parse({{"file-name", "record"}}));
    EXPECT_FALSE(button->isHidden());
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));
}

TEST(KJTipDismissElement, TheEngineMakesModalTipsAndShowsTheCloseDialogAsAnAlert) {
    KJTipPresentation::registerWithTipEngine();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJModalTipViewController>(
        BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::modal)));
    auto window = make<UIWindow>();
    window->makeKeyAndVisible();
    std::vector<int64_t> pressed;
    ASSERT_TRUE(BLQTipViewControllerRegistry::presentDialog("Leave the tour?", "You can find it later.",
                                                            {"Yes", "No"},
                                                            [&](int64_t i) { pressed.push_back(i); }));
    auto alert = std::dynamic_pointer_cast<KJAlertView>(window->subviews().back());
    ASSERT_TRUE(alert);
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
