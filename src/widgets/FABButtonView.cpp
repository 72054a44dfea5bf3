#include "widgets/FABButtonView.h"

#include <cstdio>

#include "widgets/FAQListSUIView.h"

namespace brindlecue::widgets {

using namespace platform::swiftui;

View FabButtonImage::body() const {
    View image = Image(fab->imageName()).resizable().aspectRatio(ContentMode::fit);
    double height = fab->iconheight();
    image = applyIf(image, height > 5,
                    [&](const View& v) { return v.frame(std::nullopt, height - 5, Alignment::center()); });
    return image.foregroundColor(hexColor(fab->iconColorValue()));
}

View FABButtonView::body() const {
    auto launcher = fab;
    auto tap = launch;
    auto report = returnFaqSize;
    return GeometryReader([launcher, tap, report](const GeometryProxy& proxy) {
        bool icon = launcher->isImagePresent() && launcher->iconFileName() != rawValue(FABImages::none);
        std::vector<View> parts;
        if (icon && launcher->iconPlacement == "start") parts.push_back(FabButtonImage{launcher}.body());
        if (!launcher->textValue().empty()) {
            parts.push_back(applyIf(Text(launcher->textValue()).font(Font::custom(launcher->fontfamily(),
                                                                                  launcher->fontsize())),
                                    launcher->fontweightString() == "Bold",
                                    [](const View& v) { return v.bold(); })
                                .foregroundColor(launcher->textColor())
                                .fixedSize(true, true));
        }
        if (icon && launcher->iconPlacement == "end") parts.push_back(FabButtonImage{launcher}.body());
        View label = HStack(VerticalAlignment::center, std::nullopt, std::move(parts))
                         .frame(launcher->contentWidth(proxy.size.width), launcher->heightValue(),
                                alignmentFromText(launcher->textalign()))
                         .padding(launcher->paddingInsets());
        Shape rounded = Shape::roundedRectangle(launcher->btncornerRadius(), RoundedCornerStyle::continuous);
        platform::CGSize size = proxy.size;
        return Button(tap, label)
            .background(launcher->bgColor())
            .clipShape(rounded)
            .overlay(stroke(rounded, launcher->btnBorderColor(), StrokeStyle{launcher->btnborderWidth(), 10}),
                     Alignment::center())
            .onPreferenceChange<FabButtonSizePreference>([size, report](const FabButtonSizePreference::Value&) {
                std::printf("Button Size : (%g, %g)\n", size.width, size.height);
                std::fflush(stdout);
                if (report) report(size);
            });
    });
}

}  // namespace brindlecue::widgets
