#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/swiftui/View.h"
#include "platform/uikit/UIFont.h"
#include "widgets/Payload.h"

// The FAQ list: a card with a heading row and its collapse button, a text block, the list's
// buttons and a don't-show-again button, drawn from one FAQ screen.
namespace brindlecue::widgets {

namespace sui = platform::swiftui;

enum class AlignmentType { top, bottom, left, right, center };
std::optional<AlignmentType> AlignmentTypeFromRawValue(std::string_view raw);

// "top", "bottom", "left" (leading), "right" (trailing); anything else centred.
sui::Alignment alignmentFromText(const std::string& text);
// Multi-line text: "left" leading, "right" trailing, anything else centred.
sui::TextAlignment textAlignmentFromText(const std::string& text);
// The platform font of that name and size, else Arial at that size.
platform::UIFont loadFont(const std::string& name, double size);
// A declarative colour of a hexadecimal colour text.
platform::UIColor hexColor(const std::string& text);

// The card's measured size; the first size published stays.
struct FAQSizePreferance {
    using Value = std::optional<platform::CGSize>;
    static Value defaultValue() { return std::nullopt; }
    static void reduce(Value& value, const Value& next) {
        if (!value) value = next;
    }
};

// Colour, font, fixed size and alignment of the heading text.
class TitleModifer final : public sui::ViewModifier {
public:
    explicit TitleModifer(std::shared_ptr<const Payload> faqdata) : faqdata_(std::move(faqdata)) {}
    sui::View body(const sui::View& content) const override;

private:
    std::shared_ptr<const Payload> faqdata_;
};

// The collapse button at the right end of the heading row.
struct HideButton {
    std::function<void()> close;
    DismissButton dismissButton;
    double titleBtnShadow = 0;
    platform::CGSize titleSize;
    sui::View body() const;
};

// One entry of the list (and a divider after it when the entry has no vertical margins).
struct ButtonsFAQ {
    ButtonList button;
    std::function<void()> pressed;
    platform::UIFont font;
    sui::View body() const;
};

class FAQListSUIView {
public:
    struct State {
        bool showList = true;
        std::vector<ButtonList> buttonList;
        std::shared_ptr<const Payload> faqdata;
        std::optional<platform::CGSize> faqSize;
    };

    FAQListSUIView(bool showList, std::vector<ButtonList> buttonList, std::shared_ptr<const Payload> faqdata,
                   std::optional<platform::CGSize> faqSize, std::function<void()> close,
                   std::function<void(const ButtonList&)> faqPressed, std::function<void()> dontShowPressed,
                   std::function<void(platform::CGSize)> returnFaqSize);

    sui::View body() const;
    // The view's states; they live as long as the view (and its hosting controller).
    const State& state() const { return *state_; }

private:
    sui::View contentColumn() const;
    sui::View headingRow() const;
    sui::View textBlock() const;
    sui::View buttonBlock() const;
    sui::View dontShowRow() const;

    std::shared_ptr<State> state_;
    std::function<void()> close_;
    std::function<void(const ButtonList&)> faqPressed_;
    std::function<void()> dontShowPressed_;
    std::function<void(platform::CGSize)> returnFaqSize_;
};

}  // namespace brindlecue::widgets
