// preview-icons: draws the images of the library's resource bundle and writes them into a folder,
// by default resources/BrindlecueResources.bundle:
// - the preview panel's icons (its status banner and its menu), each a 20 x 20 point PNG at 2x
//   and 3x ("<name>@2x.png", "<name>@3x.png");
// - the tip icons that launchers and close buttons name ("alert-circled", "close", "help-circled",
//   "information-circled", "record", "icon"), 30 x 30 point PNGs at 2x and 3x, black on clear so
//   that a tint colours them;
// - "default-image-placeholder", the 160 x 120 point picture a tip image falls back to, at 2x and 3x;
// - "animation-pulse.gif", a launcher's pulsing dot: 32 x 32 points drawn at 2x (64 x 64 pixels),
//   looping for ever, shown as it is (never tinted).
// The icons' shapes are laid out on a 24-unit grid.
//
//   preview-icons [folder]     (default resources/BrindlecueResources.bundle)

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

using namespace brindlecue::platform;

namespace {

const UIColor kInk(0.216, 0.278, 0.310);    // blue grey
const UIColor kBrand(0.082, 0.396, 0.753);  // deep blue
const UIColor kGreen(0.180, 0.490, 0.196);
const UIColor kRed(0.776, 0.157, 0.157);
const UIColor kAmber(0.937, 0.424, 0.0);
const UIColor kMuted(0.565, 0.643, 0.682);
const UIColor kWhite(1, 1, 1);

constexpr double kPi = 3.14159265358979323846;

struct Pen {
    CGContext& ctx;

    void stroke(const UIColor& color, double width, const std::vector<CGPoint>& points, bool closed = false) {
        ctx.setStrokeColor(color);
        ctx.setLineWidth(width);
        ctx.setLineCap(CGLineCap::Round);
        ctx.setLineJoin(CGLineJoin::Round);
        ctx.moveToPoint(points.front());
        for (size_t i = 1; i < points.size(); ++i) ctx.addLineToPoint(points[i]);
        if (closed) ctx.closePath();
        ctx.strokePath();
    }
    void fill(const UIColor& color, const std::vector<CGPoint>& points) {
        ctx.setFillColor(color);
        ctx.moveToPoint(points.front());
        for (size_t i = 1; i < points.size(); ++i) ctx.addLineToPoint(points[i]);
        ctx.closePath();
        ctx.fillPath();
    }
    void disc(const UIColor& color, CGPoint c, double r) {
        ctx.setFillColor(color);
        ctx.fillEllipseInRect(CGRect(c.x - r, c.y - r, 2 * r, 2 * r));
    }
    void ring(const UIColor& color, CGPoint c, double r, double width) {
        ctx.setStrokeColor(color);
        ctx.setLineWidth(width);
        ctx.strokeEllipseInRect(CGRect(c.x - r, c.y - r, 2 * r, 2 * r));
    }
    void roundRect(const UIColor& color, const CGRect& r, double radius) {
        ctx.setFillColor(color);
        const double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
        ctx.moveToPoint({x0 + radius, y0});
        ctx.addArcToPoint({x1, y0}, {x1, y1}, radius);
        ctx.addArcToPoint({x1, y1}, {x0, y1}, radius);
        ctx.addArcToPoint({x0, y1}, {x0, y0}, radius);
        ctx.addArcToPoint({x0, y0}, {x1, y0}, radius);
        ctx.closePath();
        ctx.fillPath();
    }
    // Points of an arc on screen (y down; angles in degrees, growing clockwise).
    static std::vector<CGPoint> arc(CGPoint c, double r, double fromDegrees, double toDegrees) {
        std::vector<CGPoint> points;
        const int steps = 48;
        for (int i = 0; i <= steps; ++i) {
            double a = (fromDegrees + (toDegrees - fromDegrees) * i / steps) * kPi / 180;
            points.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
        }
        return points;
    }
    // A filled arrowhead at the tip, pointing along the direction (degrees), of the given size.
    void arrowhead(const UIColor& color, CGPoint tip, double degrees, double size) {
        const double a = degrees * kPi / 180, spread = 0.55;
        fill(color, {tip,
                     {tip.x - size * std::cos(a - spread), tip.y - size * std::sin(a - spread)},
                     {tip.x - size * std::cos(a + spread), tip.y - size * std::sin(a + spread)}});
    }
    void cloud(const UIColor& color) {
        disc(color, {8, 14}, 4.5);
        disc(color, {12.5, 10.5}, 6);
        disc(color, {17, 13.5}, 4.5);
        ctx.setFillColor(color);
        ctx.fillRect(CGRect(8, 13, 9, 5.5));
    }
    void phone(const UIColor& color) {
        roundRect(color, CGRect(6, 2, 12, 20), 2.2);
        ctx.setFillColor(kWhite);
        ctx.fillRect(CGRect(7.6, 5, 8.8, 13.5));
    }
    // A line crossing the icon, with a white gap along it.
    void slash(const UIColor& color) {
        stroke(kWhite, 4.4, {{3.5, 3.5}, {20.5, 20.5}});
        stroke(color, 2, {{3.5, 3.5}, {20.5, 20.5}});
    }
};

using Drawing = std::function<void(Pen&)>;

const std::vector<std::pair<std::string, Drawing>>& icons() {
    static const std::vector<std::pair<std::string, Drawing>> list = {
        {"qx_camera",
         [](Pen& p) {
             p.fill(kInk, {{8, 7}, {9.8, 4.2}, {14.2, 4.2}, {16, 7}});
             p.roundRect(kInk, CGRect(2.5, 6.5, 19, 13.5), 2.2);
             p.disc(kWhite, {12, 13.2}, 4.4);
             p.disc(kInk, {12, 13.2}, 2.6);
         }},
        {"qx_exit",
         [](Pen& p) {
             p.stroke(kInk, 2, {{13.5, 8}, {13.5, 3.5}, {4, 3.5}, {4, 20.5}, {13.5, 20.5}, {13.5, 16}});
             p.stroke(kRed, 2.2, {{9, 12}, {18.5, 12}});
             p.arrowhead(kRed, {21.5, 12}, 0, 6);
         }},
        {"qx_refresh",
         [](Pen& p) {
             // A circle open at the top right, its arrow running clockwise into the gap.
             p.stroke(kInk, 2.4, Pen::arc({12, 12}, 7.5, 0, 262));
             p.arrowhead(kInk, {16.4, 4.5}, 0, 6);
         }},
        {"qx_logo_white",
         [](Pen& p) {
             p.disc(kBrand, {12, 12}, 11.5);
             p.roundRect(kWhite, CGRect(5.5, 6, 13, 9.5), 2.5);
             p.fill(kWhite, {{8.5, 15}, {8.5, 19}, {12.5, 15}});
             for (double x : {8.8, 12.0, 15.2}) p.disc(kBrand, {x, 10.8}, 1.2);
         }},
        {"qx_backup",
         [](Pen& p) {
             p.cloud(kBrand);
             p.stroke(kWhite, 2, {{12.5, 17}, {12.5, 11}});
             p.arrowhead(kWhite, {12.5, 8.6}, -90, 4.5);
         }},
        {"qx_alert",
         [](Pen& p) {
             p.fill(kRed, {{12, 2.5}, {22.5, 20.5}, {1.5, 20.5}});
             p.stroke(kWhite, 2.2, {{12, 9}, {12, 14}});
             p.disc(kWhite, {12, 17.3}, 1.3);
         }},
        {"qx_check_circle",
         [](Pen& p) {
             p.disc(kGreen, {12, 12}, 11);
             p.stroke(kWhite, 2.4, {{7, 12.3}, {10.5, 15.8}, {17.2, 8.6}});
         }},
        {"qx_sync",
         [](Pen& p) {
             p.stroke(kBrand, 2.2, Pen::arc({12, 12}, 7.5, 200, 330));
             p.arrowhead(kBrand, {19.2, 9.4}, 70, 6);
             p.stroke(kBrand, 2.2, Pen::arc({12, 12}, 7.5, 20, 150));
             p.arrowhead(kBrand, {4.8, 14.6}, 250, 6);
         }},
        {"qx_play_arrow",
         [](Pen& p) {
             p.disc(kGreen, {12, 12}, 11);
             p.fill(kWhite, {{9.2, 6.8}, {17.6, 12}, {9.2, 17.2}});
         }},
        {"qx_cloud_off",
         [](Pen& p) {
             p.cloud(kMuted);
             p.slash(kInk);
         }},
        {"qx_pause",
         [](Pen& p) {
             p.disc(kAmber, {12, 12}, 11);
             p.ctx.setFillColor(kWhite);
             p.ctx.fillRect(CGRect(7.8, 6.8, 3, 10.4));
             p.ctx.fillRect(CGRect(13.2, 6.8, 3, 10.4));
         }},
        {"qx_system_update",
         [](Pen& p) {
             p.phone(kInk);
             p.stroke(kBrand, 2, {{12, 7}, {12, 13.5}});
             p.arrowhead(kBrand, {12, 16.5}, 90, 5);
         }},
        {"qx_developer_mode",
         [](Pen& p) {
             p.phone(kInk);
             p.stroke(kBrand, 1.6, {{10.4, 9.2}, {8.4, 11.75}, {10.4, 14.3}});
             p.stroke(kBrand, 1.6, {{13.6, 9.2}, {15.6, 11.75}, {13.6, 14.3}});
         }},
        {"qx_sync_problem",
         [](Pen& p) {
             p.stroke(kAmber, 2.2, Pen::arc({12, 12}, 8.5, 200, 320));
             p.arrowhead(kAmber, {19.4, 8.2}, 65, 6);
             p.stroke(kAmber, 2.2, Pen::arc({12, 12}, 8.5, 20, 140));
             p.arrowhead(kAmber, {4.6, 15.8}, 245, 6);
             p.stroke(kAmber, 2.2, {{12, 7.8}, {12, 12.6}});
             p.disc(kAmber, {12, 15.8}, 1.25);
         }},
        {"qx_link_off",
         [](Pen& p) {
             p.ctx.setStrokeColor(kInk);
             p.ctx.setLineWidth(2.2);
             p.ctx.strokeEllipseInRect(CGRect(2.5, 8, 10, 8));
             p.ctx.strokeEllipseInRect(CGRect(11.5, 8, 10, 8));
             p.slash(kRed);
         }},
    };
    return list;
}

const UIColor kBlack(0, 0, 0);

// The circled tip icons share one ring, so that they match side by side.
void tipRing(Pen& p) {
    p.ring(kBlack, {12, 12}, 10, 2);
}

const std::vector<std::pair<std::string, Drawing>>& tipIcons() {
    static const std::vector<std::pair<std::string, Drawing>> list = {
        {"alert-circled",
         [](Pen& p) {
             tipRing(p);
             p.stroke(kBlack, 2.4, {{12, 6.8}, {12, 13.2}});
             p.disc(kBlack, {12, 16.9}, 1.45);
         }},
        {"close",
         [](Pen& p) {
             p.stroke(kBlack, 2.4, {{6.5, 6.5}, {17.5, 17.5}});
             p.stroke(kBlack, 2.4, {{17.5, 6.5}, {6.5, 17.5}});
         }},
        {"help-circled",
         [](Pen& p) {
             tipRing(p);
             auto hook = Pen::arc({12, 9.4}, 3.3, 190, 405);
             hook.push_back({12, 13.1});
             hook.push_back({12, 13.9});
             p.stroke(kBlack, 2.4, hook);
             p.disc(kBlack, {12, 17.2}, 1.45);
         }},
        {"information-circled",
         [](Pen& p) {
             tipRing(p);
             p.disc(kBlack, {12, 7.3}, 1.45);
             p.stroke(kBlack, 2.4, {{12, 10.8}, {12, 17}});
         }},
        {"record",
         [](Pen& p) {
             tipRing(p);
             p.disc(kBlack, {12, 12}, 5.5);
         }},
        {"icon",
         [](Pen& p) {
             // A five-pointed star, its points softened by a round-joined outline.
             std::vector<CGPoint> star;
             for (int i = 0; i < 10; ++i) {
                 const double r = i % 2 ? 4.1 : 9.6, a = (-90 + 36 * i) * kPi / 180;
                 star.push_back({12 + r * std::cos(a), 12.8 + r * std::sin(a)});
             }
             p.fill(kBlack, star);
             p.stroke(kBlack, 1.2, star, true);
         }},
    };
    return list;
}

// A neutral picture: a framed landscape in grey on a light grey field, laid out in points.
void placeholder(Pen& p) {
    const UIColor field(0.925, 0.933, 0.941), mark(0.690, 0.722, 0.753);
    p.ctx.setFillColor(field);
    p.ctx.fillRect(CGRect(0, 0, 160, 120));
    p.ctx.setStrokeColor(mark);
    p.ctx.setLineWidth(3);
    p.ctx.setLineJoin(CGLineJoin::Round);
    p.ctx.strokeRect(CGRect(51.5, 38.5, 57, 43));
    p.disc(mark, {95, 50.5}, 5);
    p.fill(mark, {{56, 77}, {70, 59}, {80, 70}, {87, 62}, {104, 77}});
}

// The pulse at a moment of its cycle (0 to 1): a ring leaving the dot, thinning and paling as it
// grows, over a dot that swells a little as the ring sets off. Laid out in points on 32 x 32.
void pulse(Pen& p, double t) {
    const CGPoint c{16, 16};
    const double fade = 0.65 * t;
    const UIColor ring(kBrand.red + (1 - kBrand.red) * fade, kBrand.green + (1 - kBrand.green) * fade,
                       kBrand.blue + (1 - kBrand.blue) * fade);
    p.ring(ring, c, 7 + 7.8 * t, 3.2 - 2 * t);
    p.disc(kBrand, c, 5.6 + 0.9 * std::sin(kPi * std::min(1.0, 2 * t)));
}

std::shared_ptr<UIImage> draw(CGSize points, double units, double scale, const Drawing& drawing) {
    UIGraphicsBeginImageContextWithOptions(points, false, scale);
    auto ctx = UIGraphicsGetCurrentContext();
    ctx->scaleCTM(points.width / units, points.width / units);
    Pen pen{*ctx};
    drawing(pen);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

bool writeFile(const std::filesystem::path& file, const std::optional<Data>& bytes) {
    std::ofstream out(file, std::ios::binary);
    if (bytes) out.write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
    if (!bytes || !out) {
        std::fprintf(stderr, "preview-icons: could not write %s\n", file.c_str());
        return false;
    }
    return true;
}

// "<name>@2x.png" and "<name>@3x.png" of a drawing laid out on the given units across.
bool writeScaled(const std::string& name, CGSize points, double units, const Drawing& drawing,
                 const std::filesystem::path& folder) {
    for (double scale : {2.0, 3.0}) {
        auto png = UIImagePNGRepresentation(draw(points, units, scale, drawing));
        if (!writeFile(folder / (name + "@" + std::to_string(int(scale)) + "x.png"), png)) return false;
    }
    return true;
}

bool writePulse(const std::filesystem::path& folder) {
    constexpr int kFrames = 12;
    std::vector<CGImageGIFFrame> frames;
    for (int i = 0; i < kFrames; ++i) {
        auto image = draw({32, 32}, 32, 2, [&](Pen& p) { pulse(p, double(i) / kFrames); });
        frames.push_back({image->cgImage(), 0.08});
    }
    return writeFile(folder / "animation-pulse.gif", CGImageEncodeGIF(frames, 0));
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "resources/BrindlecueResources.bundle";
    std::filesystem::create_directories(folder);
    size_t written = 0;
    for (const auto& [name, drawing] : icons()) {
        if (!writeScaled(name, {20, 20}, 24, drawing, folder)) return 1;
        ++written;
    }
    for (const auto& [name, drawing] : tipIcons()) {
        if (!writeScaled(name, {30, 30}, 24, drawing, folder)) return 1;
        ++written;
    }
    if (!writeScaled("default-image-placeholder", {160, 120}, 160, placeholder, folder) ||
        !writePulse(folder))
        return 1;
    written += 2;
    std::printf("wrote %zu images into %s\n", written, folder.c_str());
    return 0;
}
