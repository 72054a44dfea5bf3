#pragma once

#include <optional>
#include <string>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

// The small value types of the declarative view stand-in: alignments, edge insets, fonts and the
// size a parent proposes to a child.
namespace brindlecue::platform::swiftui {

enum class HorizontalAlignment { leading, center, trailing };
enum class VerticalAlignment { top, center, bottom };

struct Alignment {
    HorizontalAlignment horizontal = HorizontalAlignment::center;
    VerticalAlignment vertical = VerticalAlignment::center;

    static constexpr Alignment center() { return {}; }
    static constexpr Alignment top() { return {HorizontalAlignment::center, VerticalAlignment::top}; }
    static constexpr Alignment bottom() { return {HorizontalAlignment::center, VerticalAlignment::bottom}; }
    static constexpr Alignment leading() { return {HorizontalAlignment::leading, VerticalAlignment::center}; }
    static constexpr Alignment trailing() { return {HorizontalAlignment::trailing, VerticalAlignment::center}; }
    static constexpr Alignment topLeading() { return {HorizontalAlignment::leading, VerticalAlignment::top}; }
    bool operator==(const Alignment&) const = default;
};

enum class TextAlignment { leading, center, trailing };

// Insets in reading order: top, leading (left), bottom, trailing (right).
struct EdgeInsets {
    double top = 0;
    double leading = 0;
    double bottom = 0;
    double trailing = 0;
    bool operator==(const EdgeInsets&) const = default;
};

enum class FontWeight { regular, bold };

// A font of the declarative layer: a font (or family) name of the platform's catalogue and a
// size; bold comes from the weight or from a bold modifier.
struct Font {
    std::string name = ".SFUI-Regular";
    double size = 17;
    FontWeight weight = FontWeight::regular;

    static Font body() { return {}; }
    static Font custom(std::string name, double size) { return {std::move(name), size, FontWeight::regular}; }
    Font weighted(FontWeight w) const { return {name, size, w}; }
    // The UIKit font that measures and draws it.
    UIFont uiFont(bool bold = false) const {
        UIFont f = UIFont::fontWithName(name, size);
        f.bold = bold || weight == FontWeight::bold;
        return f;
    }
    bool operator==(const Font&) const = default;
};

// What a parent offers a child: a length per axis, or none ("your ideal size").
struct ProposedSize {
    std::optional<double> width;
    std::optional<double> height;
    bool operator==(const ProposedSize&) const = default;
};

}  // namespace brindlecue::platform::swiftui
