#include "platform/swiftui/View.h"

#include <gtest/gtest.h>

#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/TextLayout.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform::swiftui {
namespace {

struct SizeKey {
    using Value = std::optional<CGSize>;
    static Value defaultValue() { return std::nullopt; }
    static void reduce(Value& value, const Value& next) {
        if (!value) value = next;
    }
};

CGSize textSize(const std::string& text, double size) {
    TextStyle style;
    style.font = Font::custom("Arial", size).uiFont();
    return TextLayout::measure(text, style, 0);
}

TEST(DeclarativeLayout, StacksShareRoomAndSpacersTakeTheRest) {
    View row = HStack(VerticalAlignment::center, std::nullopt, {Spacer(), Text("Need some help?"), Spacer()})
                   .font(Font::custom("Arial", 22));
    Placed root = layoutView(row, {300, 100});
    const Placed* text = root.findContent("Need some help?");
    ASSERT_TRUE(text);
    CGSize ideal = textSize("Need some help?", 22);
    EXPECT_NEAR(text->frame.size.width, ideal.width, 0.01);
    EXPECT_NEAR(text->frame.midX(), 150, 0.01);  // centred by equal spacers
    auto stacks = root.findAll("HStack");
    ASSERT_EQ(stacks.size(), 1u);
    EXPECT_EQ(stacks[0]->frame, CGRect(0, 50 - ideal.height / 2, 300, ideal.height));

    // Two texts and the default spacing of 8 between them; a long text wraps to its share.
    View column = VStack(HorizontalAlignment::leading, std::nullopt,
                         {Text("short"), Text("a text long enough to wrap over several lines")})
                      .font(Font::custom("Arial", 16));
    Placed laid = layoutView(column, {120, 500});
    const Placed* shortText = laid.findContent("short");
    const Placed* longText = laid.findContent("a text long enough to wrap over several lines");
    EXPECT_EQ(shortText->frame.origin.x, longText->frame.origin.x);  // leading alignment
    EXPECT_NEAR(longText->frame.origin.y, shortText->frame.maxY() + 8, 1e-9);
    EXPECT_LE(longText->frame.size.width, 120);
    EXPECT_GT(longText->frame.size.height, 3 * textSize("a", 16).height);
}

TEST(DeclarativeLayout, ModifiersSizeAndPlaceTheirChild) {
    View box = ColorView(UIColor::redColor())
                   .frame(40, 20)
                   .padding(EdgeInsets{1, 2, 3, 4})
                   .background(ColorView(UIColor::blueColor()))
                   .offset(5, 6);
    Placed root = layoutView(box, {100, 100});
    auto colors = root.findAll("Color");
    ASSERT_EQ(colors.size(), 2u);
    EXPECT_EQ(colors[0]->frame, CGRect(27 + 5, 38 + 6, 46, 24));  // the background spans the padding
    EXPECT_EQ(colors[1]->frame, CGRect(29 + 5, 39 + 6, 40, 20));

    // A flexible frame fills the width offered and keeps its minimum height; fixed size lets
    // a text keep its ideal width inside a narrow frame.
    View flexible = Text("x").frame(FlexibleFrame{0.0, infinity, 30.0, std::nullopt, Alignment::leading()});
    Placed f = layoutView(flexible, {200, 100});
    EXPECT_EQ(f.findAll("frame")[0]->frame.size, (CGSize{200, 30}));
    EXPECT_EQ(f.findContent("x")->frame.origin.x, 0);
    View fixed = Text("a rather long line").fixedSize(true, true).frame(20, 20);
    EXPECT_NEAR(layoutView(fixed, {20, 20}).findContent("a rather long line")->frame.size.width,
                TextLayout::measure("a rather long line", TextStyle{}, 0).width, 0.01);
}

TEST(DeclarativeHosting, PreferencesRunOnFirstLayoutAndOnChangeThenTapsReachButtons) {
    std::vector<CGSize> reported;
    int taps = 0;
    auto controller = make<UIHostingController>([&] {
        return ZStack(Alignment::center(),
                      {ColorView(UIColor::whiteColor()),
                       Button([&] { ++taps; }, Text("Press")).padding(10).background(UIColor::greenColor()),
                       Button([&] { taps += 100; }, Text("Hidden")).offset(0, 40).opacity(0)})
            .background(GeometryReader([](const GeometryProxy& proxy) {
                return ColorView(UIColor::clearColor()).preference<SizeKey>(SizeKey::Value(proxy.size));
            }))
            .onPreferenceChange<SizeKey>([&](const SizeKey::Value& size) { reported.push_back(size.value_or(CGSize{})); });
    });
    auto window = make<UIWindow>(CGRect(0, 0, 200, 200));
    window->makeKeyAndVisible();
    auto view = controller->hostingView();
    view->setFrame(CGRect(20, 20, 120, 100));
    window->addSubview(view);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(reported, std::vector<CGSize>{(CGSize{120, 100})});
    view->layoutIfNeeded();
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(reported.size(), 1u);  // laid out again, same size: no new report
    view->setFrame(CGRect(20, 20, 150, 100));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(reported.back(), (CGSize{150, 100}));

    const Placed* press = view->placedRoot()->findContent("Press");
    TouchDriver::tap(view, CGPoint{press->frame.midX(), press->frame.midY()});
    EXPECT_EQ(taps, 1);
    const Placed* hidden = view->placedRoot()->findContent("Hidden");
    TouchDriver::tap(view, CGPoint{hidden->frame.midX(), hidden->frame.midY()});
    EXPECT_EQ(taps, 1);  // a transparent button takes no taps

    // The host draws: the green behind the button, white elsewhere.
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, 1);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    CGRect green = press->frame.insetBy(-5, -5).offsetBy(20, 20);
    auto pixel = [&](double x, double y) { return image->cgImage()->pixelAt(int(x), int(y)); };
    EXPECT_EQ(pixel(green.minX() + 1, green.minY() + 1), (RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(pixel(25, 25), (RGBA8{255, 255, 255, 255}));
    window->setHidden(true);
}

TEST(DeclarativeHosting, BitmapImagesTakeTheirSizeAndDrawUpright) {
    // 2 x 2 points at scale 2: the top half red, the bottom half blue.
    std::vector<RGBA8> pixels(16, RGBA8{255, 0, 0, 255});
    for (size_t i = 8; i < 16; ++i) pixels[i] = RGBA8{0, 0, 255, 255};
    auto bitmap = UIImage::imageWithCGImage(CGImage::fromRGBA(4, 4, pixels), 2);
    View view = Image(bitmap).accessibilityIdentifier("picture");
    Placed laid = layoutView(view, {10, 10});
    const Placed* image = laid.findAll("Image").front();
    EXPECT_EQ(image->frame, CGRect(4, 4, 2, 2));
    EXPECT_FALSE(image->node->content()) << "an image without a name has no content";
    EXPECT_EQ(laid.findContent("picture")->frame, image->frame);
    EXPECT_EQ(layoutView(Image(bitmap).resizable(), {10, 6}).findAll("Image").front()->frame.size, (CGSize{10, 6}));
    EXPECT_EQ(layoutView(Image(std::make_shared<UIImage>(CGSize{3, 3}, 1, "named")), {10, 10})
                  .findContent("named")
                  ->frame.size,
              (CGSize{3, 3}));

    UIGraphicsBeginImageContextWithOptions({10, 10}, true, 1);
    drawPlaced(*UIGraphicsGetCurrentContext(), layoutView(Image(bitmap).resizable(), {10, 10}));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(drawn->cgImage()->pixelAt(5, 1), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(drawn->cgImage()->pixelAt(5, 8), (RGBA8{0, 0, 255, 255}));
}

}  // namespace
}  // namespace brindlecue::platform::swiftui
