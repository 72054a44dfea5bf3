#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/swiftui/View.h"
#include "widgets/Launcher.h"
#include "widgets/ParseFAQ.h"
#include "widgets/WidgetCoding.h"

// The floating button: an icon and a label in the launcher's style, inside a geometry reader
// whose size it reports.
namespace brindlecue::widgets {

// A size preference that nothing writes; the button's size action runs on it.
struct FabButtonSizePreference {
    using Value = std::optional<platform::CGSize>;
    static Value defaultValue() { return std::nullopt; }
    static void reduce(Value& value, const Value& next) {
        if (!value) value = next;
    }
};

// The launcher's icon: its symbol, fitted, tinted with the icon colour, framed to the icon
// height less 5 points when that height is above 5.
struct FabButtonImage {
    std::shared_ptr<const Launcher> fab;
    platform::swiftui::View body() const;
};

struct FABButtonView {
    std::shared_ptr<const Launcher> fab;
    std::function<void()> launch;
    std::function<void(platform::CGSize)> returnFaqSize;

    platform::swiftui::View body() const;
};

// A list of one whole document (no view builds one).
struct FAQList {
    WidgetUUID id;
    FAQPayload faqdata;
};

}  // namespace brindlecue::widgets
