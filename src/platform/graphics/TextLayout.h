#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSParagraphStyle.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue::platform {

class CGContext;

// The fonts the platform offers: every family fontconfig knows, plus the families the platform
// is expected to have ("Arial", "Times New Roman", "Courier New") under their platform font
// names when their metric-compatible stand-ins (Liberation Sans, Serif, Mono) are installed.
// The system font (names beginning with ".") is drawn with DejaVu Sans, and so is any font the
// catalogue does not know: an unknown name falls back without error.
class FontCatalog {
public:
    struct Face {
        std::string name;    // the font name ("Arial-BoldMT", "DejaVuSans-Bold")
        std::string family;  // the family it is listed under
        std::string drawingFamily;  // the installed family that draws it
        bool bold = false;
        bool italic = false;
    };

    static const FontCatalog& shared();

    // Sorted family names.
    std::vector<std::string> familyNames() const;
    // Font names of a family (exact family name), regular first; empty for an unknown family.
    std::vector<std::string> fontNamesForFamilyName(const std::string& family) const;
    // The face of a font name, or of a family name (its regular face).
    std::optional<Face> faceNamed(const std::string& name) const;
    // The face that draws a font record: its named face, else the system face; bold when the
    // record or the face says so.
    Face resolve(const UIFont& font) const;

    static constexpr const char* kSystemFamily = ".AppleSystemUIFont";

private:
    FontCatalog();
    std::vector<Face> faces_;
};

// How a text is laid out: font, colour, alignment, line breaking, the most lines shown (0: no
// limit) and extra space between lines.
struct TextStyle {
    UIFont font;
    UIColor color = UIColor::blackColor();
    NSTextAlignment alignment = NSTextAlignment::Natural;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::ByWordWrapping;
    int numberOfLines = 0;
    double lineSpacing = 0;
};

struct FontMetrics {
    double ascender = 0;   // above the baseline
    double descender = 0;  // below the baseline, negative as the platform gives it
    double lineHeight = 0;  // the height of one line of text
};

// Text measuring and drawing through Pango with fontconfig. Metrics are unhinted, so the same
// text in the same font measures the same on every machine with the same fonts installed, at
// every scale. Thread-safe.
class TextLayout {
public:
    // The bounding box of the laid-out text: the widest line and the height of the lines shown.
    // A maxWidth of 0 or less means no wrapping (only line breaks in the text start new lines).
    // An empty text measures zero.
    static CGSize measure(const std::string& text, const TextStyle& style, double maxWidth);
    static FontMetrics metrics(const UIFont& font);
    // Draws the text from the top of the rectangle, wrapped to its width, truncated or clipped
    // to the lines allowed as the line break mode says.
    static void draw(CGContext& context, const std::string& text, const CGRect& rect, const TextStyle& style);
};

}  // namespace brindlecue::platform
