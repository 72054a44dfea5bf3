#include "platform/graphics/TextLayout.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <set>

#include "platform/graphics/CGContextImpl.h"

namespace brindlecue::platform {
namespace {

constexpr const char* kSystemDrawingFamily = "DejaVu Sans";

// The platform families that have metric-compatible stand-ins, with their platform font names
// (regular, bold, italic, bold italic).
struct Alias {
    const char* family;
    const char* drawingFamily;
    const char* names[4];
};
const Alias kAliases[] = {
    {"Arial", "Liberation Sans", {"ArialMT", "Arial-BoldMT", "Arial-ItalicMT", "Arial-BoldItalicMT"}},
    {"Times New Roman",
     "Liberation Serif",
     {"TimesNewRomanPSMT", "TimesNewRomanPS-BoldMT", "TimesNewRomanPS-ItalicMT", "TimesNewRomanPS-BoldItalicMT"}},
    {"Courier New",
     "Liberation Mono",
     {"CourierNewPSMT", "CourierNewPS-BoldMT", "CourierNewPS-ItalicMT", "CourierNewPS-BoldItalicMT"}},
};

// Pango and fontconfig are used under one lock; the font map and the measuring context live for
// the process.
std::mutex& pangoMutex() {
    static auto* m = new std::mutex;
    return *m;
}

PangoFontMap* fontMap() {
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

cairo_font_options_t* fontOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        return o;
    }();
    return options;
}

PangoContext* newContext() {
    PangoContext* ctx = pango_font_map_create_context(fontMap());
    pango_cairo_context_set_resolution(ctx, 72);  // one point per unit
    pango_cairo_context_set_font_options(ctx, fontOptions());
    pango_context_set_round_glyph_positions(ctx, FALSE);
    pango_context_set_base_dir(ctx, PANGO_DIRECTION_LTR);
    return ctx;
}

PangoContext* measuringContext() {
    static PangoContext* ctx = newContext();
    return ctx;
}

PangoFontDescription* describe(const UIFont& font) {
    FontCatalog::Face face = FontCatalog::shared().resolve(font);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, face.drawingFamily.c_str());
    pango_font_description_set_weight(desc, face.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, face.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    double size = std::clamp(font.pointSize, 0.0, 10000.0);
    pango_font_description_set_absolute_size(desc, std::max(1.0, size * PANGO_SCALE));
    return desc;
}

int units(double v) {
    return int(std::lround(std::clamp(v, 0.0, 1e6) * PANGO_SCALE));
}

PangoLayout* makeLayout(PangoContext* ctx, const std::string& text, const TextStyle& style, double width) {
    PangoLayout* layout = pango_layout_new(ctx);
    PangoFontDescription* desc = describe(style.font);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    pango_layout_set_auto_dir(layout, FALSE);
    // Pango wants valid UTF-8: invalid bytes are replaced rather than rejected.
    if (g_utf8_validate(text.data(), gssize(text.size()), nullptr)) {
        pango_layout_set_text(layout, text.data(), int(std::min<size_t>(text.size(), INT32_MAX)));
    } else {
        gchar* fixed = g_utf8_make_valid(text.data(), gssize(text.size()));
        pango_layout_set_text(layout, fixed, -1);
        g_free(fixed);
    }
    if (width > 0) {
        pango_layout_set_width(layout, units(width));
        pango_layout_set_wrap(layout,
                              style.lineBreakMode == NSLineBreakMode::ByCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_spacing(layout, units(style.lineSpacing));
    switch (style.alignment) {
        case NSTextAlignment::Center: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
        case NSTextAlignment::Right: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
        case NSTextAlignment::Justified: pango_layout_set_justify(layout, TRUE); break;
        default: pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
    }
    return layout;
}

// Width and height of the first `lines` lines (all when 0), in points.
CGSize extentOf(PangoLayout* layout, int lines) {
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    int count = 0, bottom = 0, width = 0;
    do {
        if (lines > 0 && count >= lines) break;
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(iter, &y0, &y1);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        bottom = y1;
        width = std::max(width, logical.width);
        ++count;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return {double(width) / PANGO_SCALE, double(bottom) / PANGO_SCALE};
}

}  // namespace

// ---- FontCatalog

const FontCatalog& FontCatalog::shared() {
    static auto* catalog = new FontCatalog;
    return *catalog;
}

FontCatalog::FontCatalog() {
    std::lock_guard lock(pangoMutex());
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_POSTSCRIPT_NAME, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::set<std::string> installed;
    std::set<std::string> seen;
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        FcChar8* ps = nullptr;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch) continue;
        FcPatternGetString(set->fonts[i], FC_POSTSCRIPT_NAME, 0, &ps);
        FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
        Face face;
        face.family = reinterpret_cast<const char*>(family);
        face.drawingFamily = face.family;
        face.name = ps ? reinterpret_cast<const char*>(ps) : face.family;
        face.bold = weight >= FC_WEIGHT_BOLD;
        face.italic = slant != FC_SLANT_ROMAN;
        installed.insert(face.family);
        if (seen.insert(face.name).second) faces_.push_back(face);
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    for (const auto& alias : kAliases) {
        if (!installed.count(alias.drawingFamily)) continue;
        for (int k = 0; k < 4; ++k)
            faces_.push_back({alias.names[k], alias.family, alias.drawingFamily, (k & 1) != 0, (k & 2) != 0});
    }
    // Regular faces first within a family, then bold, italic, bold italic; otherwise by name.
    std::stable_sort(faces_.begin(), faces_.end(), [](const Face& a, const Face& b) {
        if (a.family != b.family) return a.family < b.family;
        int ra = int(a.bold) + 2 * int(a.italic), rb = int(b.bold) + 2 * int(b.italic);
        if (ra != rb) return ra < rb;
        return a.name < b.name;
    });
}

std::vector<std::string> FontCatalog::familyNames() const {
    std::vector<std::string> out;
    for (const auto& f : faces_)
        if (out.empty() || out.back() != f.family) out.push_back(f.family);
    return out;
}

std::vector<std::string> FontCatalog::fontNamesForFamilyName(const std::string& family) const {
    std::vector<std::string> out;
    for (const auto& f : faces_)
        if (f.family == family) out.push_back(f.name);
    return out;
}

std::optional<FontCatalog::Face> FontCatalog::faceNamed(const std::string& name) const {
    for (const auto& f : faces_)
        if (f.name == name) return f;
    for (const auto& f : faces_)
        if (f.family == name) return f;  // the family's regular face comes first
    return std::nullopt;
}

FontCatalog::Face FontCatalog::resolve(const UIFont& font) const {
    std::optional<Face> face;
    if (font.fontName.empty() || font.fontName[0] != '.') face = faceNamed(font.fontName);
    if (!face) {
        bool bold = font.fontName.find("Bold") != std::string::npos ||
                    font.fontName.find("Semibold") != std::string::npos;
        face = Face{font.fontName, kSystemFamily, kSystemDrawingFamily, bold, false};
    }
    face->bold = face->bold || font.bold;
    return *face;
}

// ---- TextLayout

CGSize TextLayout::measure(const std::string& text, const TextStyle& style, double maxWidth) {
    if (text.empty()) return {0, 0};
    FontCatalog::shared();  // built outside the lock, which it takes itself
    std::lock_guard lock(pangoMutex());
    PangoLayout* layout = makeLayout(measuringContext(), text, style, maxWidth);
    CGSize size = extentOf(layout, style.numberOfLines);
    g_object_unref(layout);
    if (maxWidth > 0) size.width = std::min(size.width, maxWidth);
    return size;
}

FontMetrics TextLayout::metrics(const UIFont& font) {
    FontCatalog::shared();
    std::lock_guard lock(pangoMutex());
    TextStyle style;
    style.font = font;
    PangoLayout* layout = makeLayout(measuringContext(), "Hg", style, 0);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    int baseline = pango_layout_get_baseline(layout);
    g_object_unref(layout);
    FontMetrics m;
    m.lineHeight = double(logical.height) / PANGO_SCALE;
    m.ascender = double(baseline - logical.y) / PANGO_SCALE;
    m.descender = -(double(logical.y + logical.height - baseline) / PANGO_SCALE);
    return m;
}

void TextLayout::draw(CGContext& context, const std::string& text, const CGRect& rect, const TextStyle& style) {
    if (text.empty() || rect.isNull()) return;
    FontCatalog::shared();
    std::lock_guard lock(pangoMutex());
    auto& im = context.impl();
    PangoContext* ctx = newContext();
    pango_cairo_update_context(im.cr, ctx);
    pango_cairo_context_set_font_options(ctx, fontOptions());
    PangoLayout* layout = makeLayout(ctx, text, style, rect.size.width);
    if (style.numberOfLines > 0) {
        switch (style.lineBreakMode) {
            case NSLineBreakMode::ByTruncatingHead: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_START); break;
            case NSLineBreakMode::ByTruncatingMiddle: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE); break;
            case NSLineBreakMode::ByTruncatingTail: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END); break;
            default: break;
        }
        pango_layout_set_height(layout, -style.numberOfLines);
    }
    CGSize shown = extentOf(layout, style.numberOfLines);
    cairo_save(im.cr);
    // Lines beyond the limit (when they are not ellipsized away) and overflow are clipped.
    cairo_new_path(im.cr);
    double clipWidth = rect.size.width > 0 ? rect.size.width : shown.width;
    double clipHeight = rect.size.height > 0 ? std::min(rect.size.height, shown.height) : shown.height;
    cairo_rectangle(im.cr, rect.origin.x, rect.origin.y, clipWidth, clipHeight);
    cairo_clip(im.cr);
    im.draw([&] {
        im.setSource(style.color);
        cairo_move_to(im.cr, rect.origin.x, rect.origin.y);
        pango_cairo_show_layout(im.cr, layout);
        cairo_new_path(im.cr);
    });
    cairo_restore(im.cr);
    g_object_unref(layout);
    g_object_unref(ctx);
}

}  // namespace brindlecue::platform

// GCC says it builds with AddressSanitizer by __SANITIZE_ADDRESS__, clang by __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define BRINDLECUE_TEXT_LAYOUT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRINDLECUE_TEXT_LAYOUT_ASAN 1
#endif
#endif
#if defined(BRINDLECUE_TEXT_LAYOUT_ASAN)
// fontconfig keeps pattern caches for the life of the process that LeakSanitizer reports as
// leaks at exit; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\n";
}
#endif
