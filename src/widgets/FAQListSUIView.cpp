#include "widgets/FAQListSUIView.h"

namespace brindlecue::widgets {

using namespace platform::swiftui;
using platform::CGSize;
using platform::UIColor;
using platform::UIFont;

std::optional<AlignmentType> AlignmentTypeFromRawValue(std::string_view raw) {
    if (raw == "top") return AlignmentType::top;
    if (raw == "bottom") return AlignmentType::bottom;
    if (raw == "left") return AlignmentType::left;
    if (raw == "right") return AlignmentType::right;
    if (raw == "center") return AlignmentType::center;
    return std::nullopt;
}

sui::Alignment alignmentFromText(const std::string& text) {
    switch (AlignmentTypeFromRawValue(text).value_or(AlignmentType::center)) {
        case AlignmentType::top: return Alignment::top();
        case AlignmentType::bottom: return Alignment::bottom();
        case AlignmentType::left: return Alignment::leading();
        case AlignmentType::right: return Alignment::trailing();
        case AlignmentType::center: return Alignment::center();
    }
    return Alignment::center();
}

sui::TextAlignment textAlignmentFromText(const std::string& text) {
    if (text == "left") return TextAlignment::leading;
    if (text == "right") return TextAlignment::trailing;
    return TextAlignment::center;
}

UIFont loadFont(const std::string& name, double size) {
    UIFont font = UIFont::fontWithName(name, size);
    if (font.isAvailable()) return font;
    return UIFont::fontWithName("Arial", size);
}

UIColor hexColor(const std::string& text) {
    return widgetColor(text);
}

namespace {

const UIColor kCardShadow = widgetColor("#212121");
const UIColor kBlockShadow = widgetColor("#80000000");

// Applies the block shadow of a record: clipped, then shadowed by its box shadow.
View blockShadow(const View& view, double boxShadow, const UIColor& color) {
    if (boxShadow <= 0) return view;
    return view.clipped().shadow(color, 1, boxShadow, boxShadow);
}

}  // namespace

View TitleModifer::body(const View& content) const {
    const FAQTitle& title = faqdata_->title;
    return content.foregroundColor(hexColor(title.colorOrDefault()))
        .font(Font::custom(title.resolvedFontFamily(), title.fontSizeOrDefault()))
        .fixedSize(false, true)
        .multilineTextAlignment(textAlignmentFromText(title.textAlignOrDefault()));
}

View HideButton::body() const {
    double w = dismissButton.widthOrDefault();
    double h = dismissButton.heightOrDefault();
    EdgeInsets m = dismissButton.marginInsets();
    View button = Button(close, Image("chevron.down"))
                      .frame(w, h, Alignment::center())
                      .background(hexColor(dismissButton.backgroundColorOrDefault()))
                      .foregroundColor(hexColor(dismissButton.colorOrDefault()));
    return ZStack(Alignment::leading(), {button})
        .offset(titleSize.width + m.leading - m.trailing - w - titleBtnShadow, 0)
        .offset(0, m.top - m.bottom)
        .opacity(dismissButton.fileName ? 1 : 0);
}

View ButtonsFAQ::body() const {
    View label = AnyView(Text(button.textOrEmpty())
                             .foregroundColor(hexColor(button.colorOrDefault()))
                             .bold(button.resolvedFontWeight() == "Bold"))
                     .font(Font::custom(button.resolvedFontFamily(), button.fontSizeOrDefault()));
    double spacing = button.lineSpacing();
    if (spacing > 0) {
        double extra = spacing - font.lineHeight();
        label = AnyView(label.lineSpacing(extra).padding(EdgeInsets{extra * 0.5, 0, extra * 0.5, 0}));
    } else {
        label = AnyView(label);
    }
    label = label.fixedSize(false, true)
                .frame(FlexibleFrame{0.0, infinity, button.heightOrDefault(), std::nullopt,
                                     alignmentFromText(button.textAlignOrDefault())})
                .padding(button.paddingInsets());
    std::vector<View> views{Button(pressed, label).background(hexColor(button.backgroundColorOrDefault()))};
    if (button.marginTop.value_or(0) == 0 && button.marginBottom.value_or(0) == 0) views.push_back(Divider());
    return Group(std::move(views));
}

FAQListSUIView::FAQListSUIView(bool showList, std::vector<ButtonList> buttonList,
                               std::shared_ptr<const Payload> faqdata, std::optional<CGSize> faqSize,
                               std::function<void()> close, std::function<void(const ButtonList&)> faqPressed,
                               std::function<void()> dontShowPressed, std::function<void(CGSize)> returnFaqSize)
    : state_(std::make_shared<State>(State{showList, std::move(buttonList), std::move(faqdata), faqSize})),
      close_(std::move(close)),
      faqPressed_(std::move(faqPressed)),
      dontShowPressed_(std::move(dontShowPressed)),
      returnFaqSize_(std::move(returnFaqSize)) {}

View FAQListSUIView::body() const {
    const Meta& meta = state_->faqdata->meta;
    const DisplayParams& display = meta.displayParams;
    View card = VStack(HorizontalAlignment::center, std::nullopt, {contentColumn()})
                    .padding(EdgeInsets{15, 0, 0, 0})
                    .background(hexColor(meta.backgroundColorOrDefault()));
    auto state = state_;
    auto report = returnFaqSize_;
    return ZStack(Alignment::center(), {card})
        .overlay(strokeBorder(Shape::rectangle(), hexColor(display.borderColorOrDefault()),
                              display.borderWidthOrZero()),
                 Alignment::center())
        .clipShape(Shape::roundedRectangle(double(display.cornerRadiusOrDefault()), RoundedCornerStyle::continuous),
                   true)
        .clipped(false)
        .shadow(kCardShadow, 1, meta.boxShadowOrZero(), meta.boxShadowOrZero())
        .background(GeometryReader([](const GeometryProxy& proxy) {
                        return ColorView(UIColor::clearColor())
                            .preference<FAQSizePreferance>(FAQSizePreferance::Value(proxy.size));
                    }),
                    Alignment::center())
        .onPreferenceChange<FAQSizePreferance>([state, report](const FAQSizePreferance::Value& size) {
            state->faqSize = size;
            if (report) report(size.value_or(CGSize{}));
        });
}

View FAQListSUIView::contentColumn() const {
    const Payload& payload = *state_->faqdata;
    double height = payload.meta.displayParams.heightInPoints();
    std::vector<View> rows{headingRow(), textBlock(), buttonBlock(), dontShowRow()};
    if (height > 0) rows.push_back(Spacer());
    View column = VStack(HorizontalAlignment::center, std::nullopt, std::move(rows)).padding(payload.meta.paddingInsets());
    if (height > 0) column = column.frame(std::nullopt, height, Alignment::center());
    return AnyView(column);
}

View FAQListSUIView::headingRow() const {
    auto faqdata = state_->faqdata;
    const FAQTitle& title = faqdata->title;
    View block = HStack(VerticalAlignment::center, std::nullopt, {});
    if (!title.textOrEmpty().empty()) {
        double L = title.lineSpacing();
        double F = loadFont(title.resolvedFontFamily(), title.fontSizeOrDefault()).lineHeight();
        double H = L - 0.5 * F;
        EdgeInsets p = title.paddingInsets();
        View heading = AnyView(Text(title.textOrEmpty()).bold(title.resolvedFontWeight() == "Bold"))
                           .modifier(TitleModifer(faqdata))
                           .lineSpacing(H)
                           .padding(EdgeInsets{p.top + H, p.leading, p.bottom + H, p.trailing});
        block = HStack(VerticalAlignment::center, std::nullopt, {Spacer(), heading, Spacer()});
    }
    block = blockShadow(block.background(hexColor(title.backgroundColorOrDefault())), title.boxShadowOrZero(),
                        kBlockShadow);
    HideButton hide{close_, faqdata->buttons.dismissOrEmpty(), title.boxShadowOrZero(), {}};
    return HStack(VerticalAlignment::top, std::nullopt, {block, Spacer()})
        .padding(title.marginInsets())
        .overlay(GeometryReader([hide](const GeometryProxy& proxy) {
                     HideButton sized = hide;
                     sized.titleSize = proxy.size;
                     return sized.body();
                 }),
                 Alignment::center());
}

View FAQListSUIView::textBlock() const {
    const FAQContent& content = state_->faqdata->content;
    std::vector<View> inner{Spacer()};
    if (!content.textOrEmpty().empty()) {
        double L = content.lineSpacing();
        double F = loadFont(content.resolvedFontFamily(), content.fontSizeOrDefault()).lineHeight();
        double H = L - 0.5 * F;
        EdgeInsets p = content.paddingInsets();
        inner.push_back(AnyView(Text(content.textOrEmpty())
                                    .foregroundColor(hexColor(content.colorOrDefault()))
                                    .font(Font::custom(content.resolvedFontFamily(), content.fontSizeOrDefault()))
                                    .bold(content.resolvedFontWeight() == "Bold"))
                            .fixedSize(false, true)
                            .multilineTextAlignment(textAlignmentFromText(content.textAlignOrDefault()))
                            .lineSpacing(L - F)
                            .padding(EdgeInsets{p.top + H, p.leading, p.bottom + H, p.trailing})
                            .background(hexColor(content.backgroundColorOrDefault())));
    }
    inner.push_back(Spacer());
    View block = HStack(VerticalAlignment::center, std::nullopt, std::move(inner)).padding(content.marginInsets());
    return AnyView(blockShadow(block, content.boxShadowOrZero(), kBlockShadow));
}

View FAQListSUIView::buttonBlock() const {
    const Payload& payload = *state_->faqdata;
    // Styles for the whole list come from its first entry (an empty entry when there is none).
    const ButtonList first = payload.buttonList.empty() ? ButtonList{} : payload.buttonList.front();
    double marginTop = double(first.marginTop.value_or(0));
    double marginBottom = double(first.marginBottom.value_or(0));
    std::vector<View> rows;
    if (state_->showList) {
        for (const ButtonList& entry : payload.buttonList) {
            auto pressed = faqPressed_;
            ButtonsFAQ faq{entry, [pressed, entry] {
                               if (pressed) pressed(entry);
                           },
                           loadFont(entry.resolvedFontFamily(), entry.fontSizeOrDefault())};
            View row = HStack(VerticalAlignment::center, std::nullopt, {faq.body()});
            if (first.boxShadowOrZero() > 0) {
                row = row.background(hexColor(payload.listBackgroundColor()))
                          .background(hexColor(payload.meta.backgroundColorOrDefault()))
                          .clipped()
                          .shadow(kBlockShadow, 1, first.boxShadowOrZero(), first.boxShadowOrZero());
            } else if (marginTop == 0 && marginBottom == 0) {
                row = row.background(hexColor(payload.listBackgroundColor()));
            }
            rows.push_back(AnyView(row).padding(
                EdgeInsets{marginTop, 0, marginBottom > 0 ? marginBottom - marginTop : 0, 0}));
        }
    }
    EdgeInsets margins = first.marginInsets();
    return VStack(HorizontalAlignment::center, std::nullopt, std::move(rows))
        .padding(EdgeInsets{0, margins.leading, 0, margins.trailing});
}

View FAQListSUIView::dontShowRow() const {
    const DismissForver& d = state_->faqdata->dismissForever;
    Shape rounded = Shape::roundedRectangle(d.cornerRadiusOrZero(), RoundedCornerStyle::continuous);
    View button = Button(dontShowPressed_, Text(d.textOrEmpty())
                                               .foregroundColor(hexColor(d.colorOrDefault()))
                                               .font(Font::custom(d.resolvedFontFamily(), d.fontSizeOrDefault())
                                                         .weighted(d.fontWeightValue())))
                      .frame(d.widthValue(), d.heightValue(), alignmentFromText(d.textAlignOrDefault()))
                      .padding(d.paddingInsets())
                      .background(hexColor(d.backgroundColorOrDefault()))
                      .clipShape(rounded)
                      .overlay(stroke(rounded, d.borderColorValue(), StrokeStyle{d.borderWidthOrZero(), 10}),
                               Alignment::center());
    std::string placement = d.placementOrDefault();
    std::vector<View> views;
    if (placement == "right") views.push_back(Spacer());
    views.push_back(button);
    if (placement == "left") views.push_back(Spacer());
    View row = HStack(VerticalAlignment::center, std::nullopt, std::move(views)).padding(d.marginInsets());
    return AnyView(blockShadow(row, d.boxShadowOrZero(), kCardShadow));
}

}  // namespace brindlecue::widgets
