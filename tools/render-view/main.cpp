// render-view: draws a sample window of the UIKit stand-in (labels, buttons, an image view,
// controls, a card with a border and a shadow) and writes it to a PNG, so a person can look at
// what the library's views draw. With --widgets it draws a phone screen with the built-in widget
// document instead: the floating button, tapped once, with its FAQ list open over the dimmed
// screen. With --hud it writes the progress HUD over the sample window, once per look (pie, ring,
// bar and text-only), as hud-<look>.png in the directory. With --tip it draws a phone screen with
// a modal tip presented by its tip controller: the dimmed screen, the highlight around a button
// of the screen, and the tip's title, text, close button and next button. With --tip-kinds it writes
// the other kinds of tip over the same screen into the directory: pop tips below and left of the
// button (the first with an image), coachmarks lighting the button as a circle, a rectangle and a
// spot of their own size over a dimmed, blurred and radially darkened screen, and a glowing
// launcher beside a card of the screen, and a sheet of the library's tip images (tip-images.png);
// the tips' icons and placeholder come from the project's resource bundle, as a host ships it.
// With --feedback it writes a survey tip over the same screen as feedback-<look>.png in the
// directory: its choice dialog with few and with many options, its free-text form after a choice,
// and the thank-you over the tip. With --preview it writes the
// preview panel over a phone screen in its looks (idle, menu open, a status message, a custom
// message, the success message) as preview-<look>.png in the directory, and a sheet of the panel's
// icons as preview-icons.png.
//
//   render-view [output.png] [--scale N] [--widgets | --tip]     (default render-view.png at scale 2)
//   render-view --hud DIR [--scale N]
//   render-view --tip-kinds DIR [--scale N]
//   render-view --feedback DIR [--scale N]
//   render-view --preview DIR [--scale N]
//   render-view --help
//
// A DIR that is missing is made, with its parents; one that cannot be made ends the run with
// status 1. An unknown option, an option without its value or a second output file is an error:
// the usage goes to the standard error, the exit status is 2 and nothing is written.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/KJOverlay.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCoachmarkElement.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipTextElement.h"
#include "foundation/BLQDeviceUtils.h"
#include "platform/dispatch/Clock.h"
#include "presentation/KJChoiceViewController.h"
#include "presentation/KJCoachmarkTipViewController.h"
#include "presentation/KJFeedbackTipViewController.h"
#include "presentation/KJFeedbackViewController.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/KJPopTipViewController.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipImageElement.h"
#include "presentation/KJTipLauncherElement.h"
#include "presentation/KJTipPresentation.h"
#include "presentation/UIImageQXColorTintColor.h"
#include "preview/BLQPreviewModeUIManager.h"
#include "preview/PreviewModeHostingController.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UISlider.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "uikit-support/KJMBProgressHUD.h"
#include "uikit-support/UIViewKJMASAdditions.h"
#include "widgets/ParseFAQ.h"
#include "widgets/QXFeedBackInterface.h"
#include "widgets/WidgetConstants.h"

using namespace brindlecue::platform;

namespace {

// A landscape picture drawn with gradients and paths: sky, sun, hills.
std::shared_ptr<UIImage> landscape(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, true, 2);
    auto ctx = UIGraphicsGetCurrentContext();
    auto sky = CGGradient::create({UIColor(0.35, 0.6, 0.95), UIColor(0.85, 0.93, 1.0)});
    ctx->drawLinearGradient(*sky, {0, 0}, {0, size.height}, kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    auto sun = CGGradient::create({UIColor(1, 0.95, 0.6), UIColor(1, 0.75, 0.2, 0)});
    ctx->drawRadialGradient(*sun, {size.width * 0.75, size.height * 0.3}, 4, {size.width * 0.75, size.height * 0.3}, 26,
                            kCGGradientDrawsBeforeStartLocation);
    ctx->setFillColor(UIColor(0.3, 0.62, 0.3));
    ctx->moveToPoint({0, size.height});
    ctx->addLineToPoint({0, size.height * 0.65});
    ctx->addQuadCurveToPoint({size.width * 0.3, size.height * 0.35}, {size.width * 0.6, size.height * 0.7});
    ctx->addQuadCurveToPoint({size.width * 0.8, size.height * 0.55}, {size.width, size.height * 0.7});
    ctx->addLineToPoint({size.width, size.height});
    ctx->closePath();
    ctx->fillPath();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

// A round "i" icon, used as a template image (drawn in the button's tint).
std::shared_ptr<UIImage> infoIcon() {
    UIGraphicsBeginImageContextWithOptions({18, 18}, false, 2);
    auto ctx = UIGraphicsGetCurrentContext();
    ctx->setFillColor(UIColor::blackColor());
    ctx->addEllipseInRect(CGRect(0, 0, 18, 18));
    ctx->addRect(CGRect(8, 7.5, 2, 6.5));
    ctx->addEllipseInRect(CGRect(7.75, 3.5, 2.5, 2.5));
    ctx->eoFillPath();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate);
}

std::shared_ptr<UIWindow> sampleWindow() {
    auto window = make<UIWindow>(CGRect(0, 0, 320, 420));
    window->setBackgroundColor(UIColor(0.95, 0.95, 0.97));

    auto title = make<UILabel>(CGRect(20, 20, 280, 32));
    title->setText("Welcome aboard");
    title->setFont(UIFont::boldSystemFontOfSize(24));
    window->addSubview(title);

    auto card = make<UIView>(CGRect(20, 64, 280, 230));
    card->setBackgroundColor(UIColor::whiteColor());
    card->layer()->cornerRadius = 12;
    card->layer()->borderWidth = 1;
    card->layer()->borderColor = UIColor(0.85, 0.85, 0.88);
    card->layer()->shadowOpacity = 0.25;
    card->layer()->shadowRadius = 6;
    card->layer()->shadowOffset = {0, 3};
    window->addSubview(card);

    auto picture = make<UIImageView>(CGRect(12, 12, 256, 110));
    picture->setImage(landscape({256, 110}));
    picture->setContentMode(UIViewContentMode::ScaleAspectFill);
    picture->setClipsToBounds(true);
    picture->layer()->cornerRadius = 8;
    card->addSubview(picture);

    auto body = make<UILabel>(CGRect(12, 130, 256, 54));
    body->setText("Tips point at the views of your app. This text wraps over several lines and the "
                  "last one is cut with an ellipsis when it does not fit.");
    body->setFont(UIFont::fontWithName("ArialMT", 14));
    body->setTextColor(UIColor(0.3, 0.3, 0.33));
    body->setNumberOfLines(3);
    card->addSubview(body);

    auto info = UIButton::buttonWithType(UIButtonType::System);
    info->setFrame(CGRect(12, 190, 148, 30));
    info->setTitle("Learn more", UIControlStateNormal);
    info->setImage(infoIcon(), UIControlStateNormal);
    card->addSubview(info);

    auto next = UIButton::buttonWithType(UIButtonType::Custom);
    next->setFrame(CGRect(168, 188, 100, 34));
    next->setTitle("Next", UIControlStateNormal);
    next->setBackgroundColor(UIColor(0.17, 0.53, 0.85));
    next->layer()->cornerRadius = 17;
    card->addSubview(next);

    auto field = make<UITextField>(CGRect(20, 310, 200, 34));
    field->setPlaceholder("Your e-mail");
    field->setBorderStyle(UITextBorderStyle::RoundedRect);
    window->addSubview(field);

    auto toggle = make<UISwitch>();
    toggle->setFrame(CGRect(240, 311, 51, 31));
    toggle->setOn(true);
    window->addSubview(toggle);

    auto segments = make<UISegmentedControl>(std::vector<std::string>{"Day", "Week", "Month"});
    segments->setFrame(CGRect(20, 360, 170, 30));
    segments->setSelectedSegmentIndex(1);
    window->addSubview(segments);

    auto slider = make<UISlider>(CGRect(200, 360, 100, 30));
    slider->setValue(0.6f);
    window->addSubview(slider);
    return window;
}

// A phone screen with some content, the default widget laid out on it and its list opened.
std::shared_ptr<UIWindow> widgetWindow(std::shared_ptr<brindlecue::widgets::QXFeedBackInterface>& host) {
    using namespace brindlecue::widgets;
    UIScreen::mainScreen()->setBounds(CGRect(0, 0, 390, 844));
    auto window = make<UIWindow>(CGRect(0, 0, 390, 844));
    window->setBackgroundColor(UIColor(0.95, 0.95, 0.97));
    window->makeKeyAndVisible();
    auto title = make<UILabel>(CGRect(20, 60, 350, 40));
    title->setText("Your profile");
    title->setFont(UIFont::boldSystemFontOfSize(30));
    window->addSubview(title);
    for (int i = 0; i < 5; ++i) {
        auto row = make<UILabel>(CGRect(20, 120 + i * 56, 350, 44));
        row->setText(i % 2 ? "Notifications" : "Account settings");
        row->setBackgroundColor(UIColor::whiteColor());
        window->addSubview(row);
    }

    // The built-in document, its launcher sized by its label rather than squeezed into 32 points.
    auto document = *Value::fromJSON(ParseFAQ().getDefaultData());
    Value launcher = document["setup"]["launcher"];
    launcher.remove("width");
    launcher.remove("height");
    launcher.set("corner-radius", 25);
    launcher.set("margin-right", 6);
    Value setupObject = document["setup"];
    setupObject.set("launcher", launcher);
    std::string setup = *setupObject.toJSON();
    std::string payload = *document["payload"][0].toJSON();
    host = make<QXFeedBackInterface>();
    host->layoutUI(setup, payload, {{"feedId", "feed-1"}, {"campaignId", "campaign-1"}}, false);
    auto& loop = RunLoop::main();
    loop.runUntilIdle();
    if (auto fab = window->viewWithTag(ViewTags::fabButton)) {
        fab->layoutIfNeeded();
        loop.runUntilIdle();
        TouchDriver::tap(fab);
    }
    // The list reports its size, is placed, and lays out again.
    for (int i = 0; i < 4; ++i) {
        window->layoutIfNeeded();
        loop.runUntilIdle();
    }
    return window;
}

// The sample window under a HUD of the given look.
std::shared_ptr<UIWindow> hudWindow(const std::string& look) {
    using brindlecue::KJMBProgressHUD;
    using Mode = brindlecue::KJMBProgressHUDDisplayMode;
    auto window = sampleWindow();
    auto hud = KJMBProgressHUD::showHUDAddedTo(window, false);
    if (look == "text") {
        hud->setMode(Mode::textMode);
        hud->label()->setText("Thanks for your feedback");
        return window;
    }
    hud->setMode(look == "pie" ? Mode::pieMode : look == "ring" ? Mode::ringMode : Mode::barMode);
    hud->setProgress(0.6f);
    hud->label()->setText("Uploading");
    hud->detailsLabel()->setText("3 of 5 screenshots");
    return window;
}

// The scratch app bundle the renderings read their resources from: one per run (so that no file
// of another run shadows the library's), removed when the run ends.
std::filesystem::path scratchApp() {
    static const auto app =
        std::filesystem::temp_directory_path() / ("render-view-" + std::to_string(getpid()) + ".app");
    return app;
}

struct ScratchAppRemover {
    ~ScratchAppRemover() {
        std::error_code ec;
        std::filesystem::remove_all(scratchApp(), ec);
    }
};

void writePNG(const std::shared_ptr<UIImage>& image, const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    auto png = UIImagePNGRepresentation(image);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
}

// The project's resource bundle (the library's images, templates and strings) inside the scratch
// app bundle, which becomes the main bundle, as a host app ships it.
void installResources() {
    auto app = scratchApp();
    std::filesystem::create_directories(app);
    std::filesystem::copy(
        std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "resources/BrindlecueResources.bundle",
        app / "BrindlecueResources.bundle",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    setenv("BRINDLECUE_MAIN_BUNDLE", app.c_str(), 1);
}

// A host screen whose "Change picture" button the tip points at.
class ProfileScreen : public UIViewController {
public:
    void viewDidLoad() override {
        auto v = view();
        v->setBackgroundColor(UIColor(0.95, 0.95, 0.97));
        auto title = make<UILabel>(CGRect(20, 60, 335, 40));
        title->setText("Your profile");
        title->setFont(UIFont::boldSystemFontOfSize(30));
        v->addSubview(title);
        auto picture = make<UIImageView>(CGRect(20, 116, 96, 96));
        picture->setImage(landscape({96, 96}));
        picture->setClipsToBounds(true);
        picture->layer()->cornerRadius = 48;
        v->addSubview(picture);
        target = UIButton::buttonWithType(UIButtonType::Custom);
        target->setFrame(CGRect(136, 146, 150, 36));
        target->setTitle("Change picture", UIControlStateNormal);
        target->setBackgroundColor(UIColor(0.17, 0.53, 0.85));
        target->layer()->cornerRadius = 8;
        v->addSubview(target);
        for (int i = 0; i < 6; ++i) {
            auto row = make<UILabel>(CGRect(20, 240 + i * 56, 335, 44));
            row->setText(i % 2 ? "Notifications" : "Account settings");
            row->setBackgroundColor(UIColor::whiteColor());
            v->addSubview(row);
        }
    }
    std::shared_ptr<UIButton> target;
};

// The profile screen with a modal tip over it, highlighting the button.
std::shared_ptr<UIWindow> tipWindow(std::shared_ptr<brindlecue::KJModalTipViewController>& tip) {
    using namespace brindlecue;
    installResources();
    auto screen = make<ProfileScreen>();
    auto window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setRootViewController(screen);
    window->makeKeyAndVisible();

    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "feed-1";
    step->tipType = 3;
    step->placement = 1;
    step->widthUnit = "DP";
    step->width = 300;
    step->padding = {14, 14, 16, 16};
    step->backgroundColor = UIColor::whiteColor();
    step->borderCornerRadius = 12;
    step->title = std::make_shared<KJTipTextElement>();
    step->title->text = "A new picture";
    step->title->fontSize = 20;
    step->title->fontWeight = "bold";
    step->title->textColor = UIColor(0.1, 0.1, 0.12);
    step->content = std::make_shared<KJTipTextElement>();
    step->content->text = "Tap the highlighted button to choose a photo for your profile.";
    step->content->fontSize = 15;
    step->content->textColor = UIColor(0.3, 0.3, 0.33);
    step->content->margin.top = 6;
    step->next = std::make_shared<KJTipButtonElement>();
    step->next->buttonText = "Got it";
    step->next->buttonAlignment = "right";
    step->next->textColor = UIColor::whiteColor();
    step->next->backgroundColor = UIColor(0.17, 0.53, 0.85);
    step->next->borderCornerRadius = 6;
    step->next->padding = {8, 8, 14, 14};
    step->next->margin.top = 12;
    step->isHorizontal = true;
    step->dismiss = KJTipDismissElement::createFromFeed(
        Value::dictionary({{"file-name", "close"}, {"color", "#FF666666"}}));
    step->overlay = std::make_shared<KJOverlay>();
    step->overlay->type = "coachmark";
    step->overlay->padding = {8, 8, 8, 8};
    step->overlay->borderWidth = 3;
    step->overlay->cornerRadius = 14;
    step->overlay->borderColor = UIColor(1, 0.8, 0.1);
    step->overlay->backgroundColor = UIColor(0, 0, 0, 0.55);
    step->targetControl = screen->target;

    tip = make<KJModalTipViewController>();
    tip->setTip(step);
    bool shown = false;
    tip->presentTipWithCoverView(
        nullptr, window, screen, [&](const std::shared_ptr<KJTipElement>&) { shown = true; }, nullptr);
    RunLoop::main().runUntilIdle();
    if (!shown) std::fprintf(stderr, "render-view: the tip was not shown\n");
    return window;
}

// The library's resources and, in the app bundle itself, a picture for a tip's image element.
void installTipKindResources() {
    installResources();
    writePNG(landscape({200, 84}), scratchApp() / "tip-hero@2x.png");
}

// A card of the profile screen, a host class of its own (a launcher beside it goes into the key window).
class ProfileCard final : public UIView {
public:
    explicit ProfileCard(const CGRect& frame) : UIView(frame) {}
    std::string className() const override { return "ProfileCard"; }
};

brindlecue::KJTipTextElement* textOf(std::shared_ptr<brindlecue::KJTipTextElement>& slot, const std::string& text,
                                     double size, const UIColor& color) {
    slot = std::make_shared<brindlecue::KJTipTextElement>();
    slot->text = text;
    slot->fontSize = size;
    slot->textColor = color;
    return slot.get();
}

std::shared_ptr<brindlecue::KJTipButtonElement> gotIt() {
    auto next = std::make_shared<brindlecue::KJTipButtonElement>();
    next->buttonText = "Got it";
    next->buttonAlignment = "right";
    next->textColor = UIColor::whiteColor();
    next->backgroundColor = UIColor(0.17, 0.53, 0.85);
    next->borderCornerRadius = 6;
    next->padding = {6, 6, 12, 12};
    next->margin.top = 10;
    return next;
}

// A pop tip below the button (with a picture) or left of it.
std::shared_ptr<brindlecue::KJTipElement> popStep(bool below) {
    using namespace brindlecue;
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "pop";
    step->tipType = 2;
    step->placement = below ? 4 : 1;
    step->widthUnit = "DP";
    step->width = below ? 240 : 110;
    step->padding = {12, 12, 14, 14};
    step->backgroundColor = UIColor::whiteColor();
    step->borderColor = UIColor(0.17, 0.53, 0.85);
    step->borderWidth = 1.5;
    step->borderCornerRadius = 12;
    step->pointerParams = {18, 11, 0};
    textOf(step->title, below ? "A new picture" : "Here", 18, UIColor(0.1, 0.1, 0.12))->fontWeight = "bold";
    textOf(step->content, below ? "Tap the button to pick a photo. It shows on your posts." : "Tap to change it.", 14,
           UIColor(0.3, 0.3, 0.33))->margin.top = 4;
    if (below) {
        step->height = 250;
        step->next = gotIt();
        step->dismiss = KJTipDismissElement::createFromFeed(
            Value::dictionary({{"file-name", "close"}, {"color", "#FF888888"}}));
        step->arrayImages = std::vector<std::shared_ptr<KJTipBaseElement>>{KJTipImageElement::createFromFeed(
            Value::dictionary({{"resource", "tip-hero"}, {"width", "80%"}, {"height", "84"},
                               {"image-align", "center-middle"}, {"margin-top", 6}, {"corner-radius", 8}}))};
    }
    return step;
}

std::shared_ptr<brindlecue::KJTipElement> coachmarkStep(int32_t style, int32_t diffuse) {
    using namespace brindlecue;
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "coachmark";
    step->tipType = 4;
    step->widthUnit = "DP";
    step->width = 280;
    step->padding = {14, 14, 16, 16};
    step->margin = {180, 0, 0, 0};
    step->backgroundColor = UIColor::whiteColor();
    step->borderCornerRadius = 12;
    // The coachmark's box is clear: light text over a dark dimming, dark text over the light blur.
    const UIColor text = diffuse == 2 ? UIColor(0.15, 0.15, 0.18) : UIColor::whiteColor();
    textOf(step->content, "Your picture lives here. Tap the lit button to change it.", 16, text);
    step->next = gotIt();
    step->overlayColor = UIColor(0.05, 0.05, 0.1);
    step->overlayAlpha = 0.7;
    step->coachmark = std::make_shared<KJTipCoachmarkElement>();
    step->coachmark->style = style;
    step->coachmark->diffuse = diffuse;
    step->coachmark->cornerRadius = 10;
    step->coachmark->width = 200;
    step->coachmark->height = 70;
    return step;
}

// The profile screen with a tip of the kind over it (or a launcher beside its card).
std::shared_ptr<UIWindow> tipKindWindow(const std::string& kind,
                                        std::shared_ptr<brindlecue::KJBaseTipViewController>& tip,
                                        std::vector<std::shared_ptr<brindlecue::KJTipSeriesElement>>& keep) {
    using namespace brindlecue;
    auto screen = make<ProfileScreen>();
    auto window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    auto& loop = RunLoop::main();
    loop.runUntilIdle();

    if (kind == "launcher") {
        auto card = make<ProfileCard>(CGRect(20, 576, 240, 44));
        card->setBackgroundColor(UIColor(1, 0.96, 0.85));
        card->layer()->cornerRadius = 8;
        auto invite = make<UILabel>(CGRect(12, 0, 216, 44));
        invite->setText("Invite a friend");
        card->addSubview(invite);
        screen->view()->addSubview(card);
        auto series = std::make_shared<KJTipSeriesElement>();
        series->feed_id = "launcher";
        series->launcher = KJTipLauncherElement::createFromFeed(Value::dictionary(
            {{"file-name", "help"}, {"placement", "right"}, {"glowing", true}, {"color", "#FFFF8C00"}}));
        auto step = std::make_shared<KJTipElement>();
        step->feed_id = "launcher";
        step->series = series;
        series->arrayTips.push_back(step);
        keep.push_back(series);
        if (!KJTipLauncherElement::addLauncherForTip(step, card)->superview())
            std::fprintf(stderr, "render-view: the launcher was not inserted\n");
        return window;
    }

    std::shared_ptr<KJTipElement> step;
    if (kind == "pop-bottom" || kind == "pop-left") {
        step = popStep(kind == "pop-bottom");
        tip = make<KJPopTipViewController>();
    } else {
        const int32_t style = kind.find("circle") != std::string::npos      ? 1
                              : kind.find("rectangle") != std::string::npos ? 2
                                                                            : 3;
        const int32_t diffuse = kind.find("gradient") != std::string::npos ? 1
                                : kind.find("blur") != std::string::npos   ? 2
                                                                           : 0;
        step = coachmarkStep(style, diffuse);
        tip = make<KJCoachmarkTipViewController>();
    }
    step->targetControl = screen->target;
    tip->setTip(step);
    bool shown = false;
    tip->presentTipWithCoverView(
        nullptr, window, screen, [&](const std::shared_ptr<KJTipElement>&) { shown = true; }, nullptr);
    loop.runUntilIdle();
    // Images are sized off the main queue and placed on it, by constraints last.
    loop.runUntil([&] {
        for (const auto& view : tip->viewContent->subviews())
            if (std::dynamic_pointer_cast<UIImageView>(view) && UIViewKJMASConstraints::mas_installedConstraints(view).empty())
                return false;
        return true;
    });
    loop.runUntilIdle();
    if (!shown) std::fprintf(stderr, "render-view: the %s tip was not shown\n", kind.c_str());
    return window;
}

// The profile screen under a survey tip, in one of its looks: "choice" (three options), "many"
// (options enough to scroll), "form" (the free text after a choice) or "thanks" (the thank-you
// the feedback manager puts on the tip once the server took the answer).
std::shared_ptr<UIWindow> surveyWindow(const std::string& look,
                                       std::shared_ptr<brindlecue::KJFeedbackTipViewController>& tip) {
    using namespace brindlecue;
    auto screen = make<ProfileScreen>();
    auto window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setRootViewController(screen);
    window->makeKeyAndVisible();

    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "feed-2";
    step->tipType = 5;
    step->overlay = std::make_shared<KJOverlay>();
    step->overlay->backgroundColor = UIColor(0, 0, 0, 0.55);
    step->feedback = std::make_shared<KJTipFeedbackElement>();
    step->feedback->feedbackTitle = "How do you like the new profile page?";
    step->feedback->feedbackMessage = "Your answer helps us make it better.";
    std::vector<std::string> options{"Love it", "It is fine", "Not for me"};
    if (look == "many") {
        options = {"Photos",   "Settings", "Privacy", "Notifications", "Security",  "Payments",
                   "Language", "Help",     "Themes",  "Contacts",      "Calendar",  "Messages",
                   "Storage",  "Accounts", "Backup",  "Devices",       "Shortcuts", "Something else"};
    }
    step->feedback->arrayOptions = options;
    step->feedback->needInput = look == "form";

    tip = make<KJFeedbackTipViewController>();
    tip->setTip(step);
    bool shown = false;
    tip->presentTipWithCoverView(
        nullptr, window, screen, [&](const std::shared_ptr<KJTipElement>&) { shown = true; }, nullptr);
    auto& loop = RunLoop::main();
    loop.runUntilIdle();
    if (!shown) std::fprintf(stderr, "render-view: the survey was not shown\n");
    window->layoutIfNeeded();
    if (look == "form") {
        // A choice, then the form a second later with the choice as its title.
        auto table = tip->choiceViewController()->tableChoice;
        table->layoutIfNeeded();
        TouchDriver::tap(table->cellForRowAtIndexPath(NSIndexPath::forRow(2, 0)));
        loop.runUntil([&] { return tip->feedbackViewController() != nullptr; }, 5);
        if (auto form = tip->feedbackViewController())
            form->textboxContent->setText("I could not find where to change my picture.");
    } else if (look == "thanks") {
        auto hud = KJMBProgressHUD::showHUDAddedTo(tip->view(), true);
        hud->setMode(KJMBProgressHUDDisplayMode::textMode);
        hud->label()->setText(
            blqLocalizedString("BRINDLECUE_WINDOW_FEEDBACK_THANKS", "Thanks for your feedback!"));
    }
    window->layoutIfNeeded();
    return window;
}

// The panel's icons come through the facade's preview-mode manager; this one only has the panel.
class PanelOnly final : public brindlecue::BLQIPreviewModeManager {
public:
    explicit PanelOnly(std::shared_ptr<brindlecue::BLQPreviewModeUIManager> ui) : ui_(std::move(ui)) {}
    bool isInPreviewMode() const override { return true; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>&) override {}
    void togglePreviewModeView(bool hidden) override { ui_->togglePreviewModeView(hidden); }
    std::shared_ptr<UIViewController> previewModeView() override { return ui_->previewModeView(); }
    void receiveUpdated(brindlecue::BLQPreviewModeNotificationState state,
                        const std::string& message) override {
        ui_->receiveUpdated(state, message);
    }
    std::shared_ptr<UIImage> getLocalImage(const std::string& name) override {
        return ui_->getLocalImage(name);
    }

private:
    std::shared_ptr<brindlecue::BLQPreviewModeUIManager> ui_;
};

bool writeRendering(const std::shared_ptr<UIWindow>& window, double scale, const std::string& out);

// Moves the virtual clock on in small steps while the main queue runs.
void passTime(double seconds) {
    for (double t = 0; t < seconds; t += 0.05) {
        Clock::advance(0.05);
        RunLoop::main().runUntilIdle();
    }
}

// The preview panel over the profile screen in each of its looks.
bool writePreviewPanel(const std::string& dir, double scale) {
    using namespace brindlecue;
    using State = BLQPreviewModeNotificationState;
    installResources();
    Clock::useVirtual();
    UIScreen::mainScreen()->setBounds(CGRect(0, 0, 390, 844));
    auto screen = make<ProfileScreen>();
    auto window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    auto ui = std::make_shared<BLQPreviewModeUIManager>();
    BLQFacadeLink::setPreviewModeManager(std::make_shared<PanelOnly>(ui));
    ui->layoutUI(false);
    auto panel = std::dynamic_pointer_cast<PreviewModePanelView>(ui->previewModeView()->view());
    screen->view()->addSubview(panel);
    RunLoop::main().runUntilIdle();
    auto write = [&](const std::string& look) {
        window->layoutIfNeeded();
        RunLoop::main().runUntilIdle();
        return writeRendering(window, scale, dir + "/preview-" + look + ".png");
    };
    auto tapBanner = [&] {
        const auto* banner = panel->placedRoot()->findAll("accessibilityIdentifier").front();
        TouchDriver::tap(panel, CGPoint{banner->frame.midX(), banner->frame.midY()});
        passTime(0.2);
    };
    bool ok = write("idle");
    tapBanner();
    ok = ok && write("menu");
    tapBanner();
    ui->receiveUpdated(State::takingScreenshot, "");
    passTime(0.1);
    ok = ok && write("status");
    ui->receiveUpdated(State::guideOnAnotherscreen, "Please go to CartViewController to see the Guide");
    passTime(0.1);
    ok = ok && write("custom");
    ui->receiveUpdated(State::screenshotsuccess, "");
    passTime(0.1);
    ok = ok && write("success");

    // Every icon, three times its size, named below.
    auto sheet = make<UIWindow>(CGRect(0, 0, 5 * 110, 3 * 110));
    sheet->setBackgroundColor(UIColor::whiteColor());
    const char* names[] = {"qx_camera",         "qx_exit",         "qx_refresh",      "qx_logo_white",
                           "qx_backup",         "qx_alert",        "qx_check_circle", "qx_sync",
                           "qx_play_arrow",     "qx_cloud_off",    "qx_pause",        "qx_system_update",
                           "qx_developer_mode", "qx_sync_problem", "qx_link_off"};
    for (int i = 0; i < 15; ++i) {
        auto icon = make<UIImageView>(CGRect(25 + (i % 5) * 110, 10 + (i / 5) * 110, 60, 60));
        icon->setImage(ui->getLocalImage(names[i]));
        sheet->addSubview(icon);
        auto label = make<UILabel>(CGRect((i % 5) * 110, 76 + (i / 5) * 110, 110, 16));
        label->setText(names[i]);
        label->setFont(UIFont::systemFontOfSize(10));
        label->setTextAlignment(NSTextAlignment::Center);
        sheet->addSubview(label);
    }
    ok = ok && writeRendering(sheet, scale, dir + "/preview-icons.png");
    BLQFacadeLink::setPreviewModeManager(nullptr);
    return ok;
}

// The library's tip images as a host gets them, on one sheet: the icons of launchers and close
// buttons as loaded (black, 30 points), the same tinted the launcher's way (one pixel per point,
// stretched over a 32-point launcher), the image placeholder and the frames of the pulse.
bool writeTipImageSheet(const std::string& dir, double scale) {
    using namespace brindlecue;
    installResources();
    auto sheet = make<UIWindow>(CGRect(0, 0, 480, 300));
    sheet->setBackgroundColor(UIColor::whiteColor());
    auto label = [&](const std::string& text, const CGRect& frame) {
        auto l = make<UILabel>(frame);
        l->setText(text);
        l->setFont(UIFont::systemFontOfSize(9));
        l->setTextAlignment(NSTextAlignment::Center);
        sheet->addSubview(l);
    };
    const char* icons[] = {"alert-circled.png",       "close.png",  "help-circled.png",
                           "information-circled.png", "record.png", "icon.png"};
    for (int i = 0; i < 6; ++i) {
        auto image = KJTipDismissElement::iconImage(icons[i]);
        if (!image) {
            std::fprintf(stderr, "render-view: the bundle has no %s\n", icons[i]);
            return false;
        }
        auto black = make<UIImageView>(CGRect(25 + i * 80, 10, 30, 30));
        black->setImage(image);
        sheet->addSubview(black);
        label(icons[i], CGRect(i * 80, 44, 80, 12));
        auto tinted = make<UIImageView>(CGRect(24 + i * 80, 66, 32, 32));
        tinted->setImage(UIImageQXColorTintColor::imageWithTint(
            image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate), UIColor(1, 0.549, 0)));
        sheet->addSubview(tinted);
    }
    label("the same, tinted as a launcher tints them", CGRect(0, 102, 480, 12));
    auto placeholder = make<UIImageView>(CGRect(10, 130, 160, 120));
    placeholder->setImage(KJTipImageElement::getLocalImage("no-such-picture"));
    sheet->addSubview(placeholder);
    label("default-image-placeholder", CGRect(10, 254, 160, 12));
    auto bundle = blqFindBundleForResource("animation-pulse", "gif", false);
    auto path = bundle ? bundle->pathForResource("animation-pulse", "gif") : std::nullopt;
    std::ifstream in(path.value_or(""), std::ios::binary);
    auto source = CGImageSource::createWithData(Data(std::istreambuf_iterator<char>(in), {}));
    for (size_t i = 0; source && i < source->count(); ++i) {
        auto frame = make<UIImageView>(CGRect(200 + (i % 6) * 46, 140 + (i / 6) * 46, 32, 32));
        frame->setImage(UIImage::imageWithCGImage(source->imageAtIndex(i), 2));
        sheet->addSubview(frame);
    }
    label("animation-pulse.gif, frame by frame", CGRect(190, 254, 280, 12));
    return writeRendering(sheet, scale, dir + "/tip-images.png");
}

bool writeRendering(const std::shared_ptr<UIWindow>& window, double scale, const std::string& out) {
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, scale);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto png = UIImagePNGRepresentation(image);
    if (!png) {
        std::fprintf(stderr, "render-view: could not encode the rendering\n");
        return false;
    }
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    if (!file) {
        std::fprintf(stderr, "render-view: could not write %s\n", out.c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d pixels)\n", out.c_str(), image->cgImage()->width(), image->cgImage()->height());
    return true;
}

constexpr const char* kUsage =
    "usage: render-view [OUT.png] [--scale N] [--widgets | --tip]\n"
    "       render-view --hud DIR [--scale N]\n"
    "       render-view --tip-kinds DIR [--scale N]\n"
    "       render-view --feedback DIR [--scale N]\n"
    "       render-view --preview DIR [--scale N]\n"
    "       render-view --help\n"
    "\n"
    "  OUT.png          the sample window (labels, buttons, an image view, controls, a card);\n"
    "                   default render-view.png\n"
    "  --widgets        instead a phone screen with the floating button's FAQ list open\n"
    "  --tip            instead a phone screen with a modal tip\n"
    "  --hud DIR        the progress HUD in each look, as DIR/hud-<look>.png\n"
    "  --tip-kinds DIR  pop tips, coachmarks and a launcher, as DIR/<kind>.png, and the sheet of\n"
    "                   the library's tip images, DIR/tip-images.png\n"
    "  --feedback DIR   a survey tip's choices, form and thank-you, as DIR/feedback-<look>.png\n"
    "  --preview DIR    the preview panel in its looks, as DIR/preview-<look>.png, and its icons,\n"
    "                   DIR/preview-icons.png\n"
    "                   (a DIR that is missing is made)\n"
    "  --scale N        pixels per point, above 0 and at most 8 (default 2)\n";

// The folder a mode writes its files into, made with its parents when it is missing.
bool makeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "render-view: could not make the folder %s: %s\n", dir.c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}

int usageError(const std::string& problem) {
    std::fprintf(stderr, "render-view: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const ScratchAppRemover removeScratchApp;
    std::string out = "render-view.png";
    bool outGiven = false;
    std::string hudDir;
    std::string kindsDir;
    std::string feedbackDir;
    std::string previewDir;
    double scale = 2;
    bool widgets = false;
    bool tip = false;
    // Every argument is checked before anything is drawn or written: a mistyped option names no file.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // The value of an option; an option at the end or before another option has none.
        auto value = [&](std::string& into) {
            if (i + 1 >= argc || std::strncmp(argv[i + 1], "--", 2) == 0) return false;
            into = argv[++i];
            return !into.empty();
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--widgets") {
            widgets = true;
        } else if (arg == "--tip") {
            tip = true;
        } else if (arg == "--scale") {
            std::string text;
            if (!value(text)) return usageError("--scale needs a number");
            char* end = nullptr;
            scale = std::strtod(text.c_str(), &end);
            if (*end != '\0') return usageError("--scale wants a number, not \"" + text + "\"");
        } else if (arg == "--hud" || arg == "--tip-kinds" || arg == "--feedback" || arg == "--preview") {
            std::string& dir = arg == "--hud"         ? hudDir
                               : arg == "--tip-kinds" ? kindsDir
                               : arg == "--feedback"  ? feedbackDir
                                                      : previewDir;
            if (!value(dir)) return usageError(arg + " needs a folder");
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (outGiven || arg.empty()) {
            return usageError(arg.empty() ? "the output file has no name"
                                          : "one output file only, not also " + arg);
        } else {
            out = arg;
            outGiven = true;
        }
    }
    if (!(scale > 0) || scale > 8) return usageError("the scale must be above 0 and at most 8");
    if (!hudDir.empty()) {
        if (!makeFolder(hudDir)) return 1;
        for (const char* look : {"pie", "ring", "bar", "text"})
            if (!writeRendering(hudWindow(look), scale, hudDir + "/hud-" + look + ".png")) return 1;
        return 0;
    }
    if (!kindsDir.empty()) {
        if (!makeFolder(kindsDir)) return 1;
        installTipKindResources();
        brindlecue::KJTipPresentation::registerWithTipEngine();
        std::vector<std::shared_ptr<brindlecue::KJTipSeriesElement>> keep;
        for (const char* kind : {"pop-bottom", "pop-left", "coachmark-circle-dim", "coachmark-rectangle-blur",
                                 "coachmark-custom-gradient", "launcher"}) {
            std::shared_ptr<brindlecue::KJBaseTipViewController> kindTip;
            auto window = tipKindWindow(kind, kindTip, keep);
            if (!writeRendering(window, scale, kindsDir + "/" + kind + ".png")) return 1;
            if (kindTip) kindTip->dismissOnTopWithRemoveCover(true);
            window->setHidden(true);
            RunLoop::main().runUntilIdle();
        }
        return writeTipImageSheet(kindsDir, scale) ? 0 : 1;
    }
    if (!previewDir.empty()) return makeFolder(previewDir) && writePreviewPanel(previewDir, scale) ? 0 : 1;
    if (!feedbackDir.empty()) {
        if (!makeFolder(feedbackDir)) return 1;
        for (const char* look : {"choice", "many", "form", "thanks"}) {
            std::shared_ptr<brindlecue::KJFeedbackTipViewController> survey;
            if (!writeRendering(surveyWindow(look, survey), scale, feedbackDir + "/feedback-" + look + ".png"))
                return 1;
            survey->dismissOnTopWithRemoveCover(true);
        }
        return 0;
    }
    std::shared_ptr<brindlecue::widgets::QXFeedBackInterface> host;
    std::shared_ptr<brindlecue::KJModalTipViewController> tipController;
    auto window = tip ? tipWindow(tipController) : widgets ? widgetWindow(host) : sampleWindow();
    return writeRendering(window, scale, out) ? 0 : 1;
}
