#include "platform/swiftui/View.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue::platform::swiftui {

namespace {

bool finite(const std::optional<double>& v) {
    return v && std::isfinite(*v);
}

double nanIfNone(const std::optional<double>& v) {
    return v ? *v : std::nan("");
}

void hashMix(size_t& seed, size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

Placed& addPlaced(Placed& parent, const ViewNode& node, const CGRect& frame, const Environment& env) {
    parent.children.push_back(Placed{node.shared_from_this(), frame, env, {}});
    return parent.children.back();
}

double alignOffset(HorizontalAlignment a, double space, double size) {
    switch (a) {
        case HorizontalAlignment::leading: return 0;
        case HorizontalAlignment::center: return (space - size) / 2;
        case HorizontalAlignment::trailing: return space - size;
    }
    return 0;
}

double alignOffset(VerticalAlignment a, double space, double size) {
    switch (a) {
        case VerticalAlignment::top: return 0;
        case VerticalAlignment::center: return (space - size) / 2;
        case VerticalAlignment::bottom: return space - size;
    }
    return 0;
}

CGPoint alignedOrigin(CGPoint origin, CGSize space, CGSize size, Alignment alignment) {
    return {origin.x + alignOffset(alignment.horizontal, space.width, size.width),
            origin.y + alignOffset(alignment.vertical, space.height, size.height)};
}

void addShapePath(CGContext& ctx, const CGRect& r, const Shape& shape) {
    double radius = std::min(shape.cornerRadius, std::min(r.size.width, r.size.height) / 2);
    if (radius <= 0) {
        ctx.addRect(r);
        return;
    }
    double minX = r.minX(), maxX = r.maxX(), minY = r.minY(), maxY = r.maxY();
    ctx.moveToPoint({minX + radius, minY});
    ctx.addLineToPoint({maxX - radius, minY});
    ctx.addArcToPoint({maxX, minY}, {maxX, minY + radius}, radius);
    ctx.addLineToPoint({maxX, maxY - radius});
    ctx.addArcToPoint({maxX, maxY}, {maxX - radius, maxY}, radius);
    ctx.addLineToPoint({minX + radius, maxY});
    ctx.addArcToPoint({minX, maxY}, {minX, maxY - radius}, radius);
    ctx.addLineToPoint({minX, minY + radius});
    ctx.addArcToPoint({minX, minY}, {minX + radius, minY}, radius);
    ctx.closePath();
}

TextStyle textStyle(const Environment& env) {
    TextStyle style;
    style.font = env.font.value_or(Font::body()).uiFont(env.bold);
    style.color = env.foregroundColor.value_or(UIColor::blackColor());
    switch (env.multilineTextAlignment) {
        case TextAlignment::leading: style.alignment = NSTextAlignment::Left; break;
        case TextAlignment::center: style.alignment = NSTextAlignment::Center; break;
        case TextAlignment::trailing: style.alignment = NSTextAlignment::Right; break;
    }
    style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    // Negative line spacing draws as none.
    style.lineSpacing = std::max(0.0, env.lineSpacing);
    return style;
}

// ---- Leaves.

class EmptyNode final : public ViewNode {
public:
    std::string kind() const override { return "EmptyView"; }
    CGSize sizeThatFits(ProposedSize, const Environment&, LayoutPass&) const override { return {}; }
};

// The space a hosted view is laid out in.
class HostNode final : public ViewNode {
public:
    std::string kind() const override { return "Host"; }
    CGSize sizeThatFits(ProposedSize p, const Environment&, LayoutPass&) const override {
        return {p.width.value_or(0), p.height.value_or(0)};
    }
};

class TextNode final : public ViewNode {
public:
    explicit TextNode(std::string text) : text_(std::move(text)) {}
    std::string kind() const override { return "Text"; }
    std::optional<std::string> content() const override { return text_; }

    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass&) const override {
        if (text_.empty()) return {};
        TextStyle style = textStyle(env);
        double maxWidth = finite(p.width) ? std::max(*p.width, 0.01) : 0;
        CGSize size = TextLayout::measure(text_, style, maxWidth);
        if (finite(p.height) && *p.height < size.height) {
            // Only whole lines fit; at least one.
            double line = TextLayout::metrics(style.font).lineHeight;
            double spacing = style.lineSpacing;
            double lines = std::max(1.0, std::floor((*p.height + spacing) / (line + spacing) + 1e-9));
            size.height = std::min(size.height, lines * line + (lines - 1) * spacing);
        }
        return size;
    }

    void draw(CGContext& ctx, const Placed& placed) const override {
        CGRect r = placed.frame;
        r.size.width += 0.01;  // the measured width itself must not wrap again
        TextLayout::draw(ctx, text_, r, textStyle(placed.env));
    }

private:
    std::string text_;
};

class SpacerNode final : public ViewNode {
public:
    explicit SpacerNode(std::optional<double> minLength) : minLength_(minLength.value_or(8)) {}
    std::string kind() const override { return "Spacer"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass&) const override {
        auto along = [&](const std::optional<double>& v) { return std::max(minLength_, v.value_or(minLength_)); };
        switch (env.stackAxis) {
            case Axis::horizontal: return {along(p.width), 0};
            case Axis::vertical: return {0, along(p.height)};
            case Axis::none: return {along(p.width), along(p.height)};
        }
        return {};
    }

private:
    double minLength_;
};

class DividerNode final : public ViewNode {
public:
    static constexpr double kThickness = 1;
    std::string kind() const override { return "Divider"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass&) const override {
        auto across = [](const std::optional<double>& v) { return finite(v) ? *v : 0.0; };
        if (env.stackAxis == Axis::horizontal) return {kThickness, across(p.height)};
        return {across(p.width), kThickness};
    }
    void draw(CGContext& ctx, const Placed& placed) const override {
        ctx.setFillColor(UIColor(0.24, 0.24, 0.26, 0.29));
        ctx.fillRect(placed.frame);
    }
};

class ColorNode final : public ViewNode {
public:
    explicit ColorNode(UIColor color) : color_(color) {}
    std::string kind() const override { return "Color"; }
    CGSize sizeThatFits(ProposedSize p, const Environment&, LayoutPass&) const override {
        return {p.width.value_or(10), p.height.value_or(10)};
    }
    void draw(CGContext& ctx, const Placed& placed) const override {
        if (color_.alpha <= 0) return;
        ctx.setFillColor(color_);
        ctx.fillRect(placed.frame);
    }

private:
    UIColor color_;
};

class ShapeNode final : public ViewNode {
public:
    enum class Mode { fill, stroke, strokeBorder };
    ShapeNode(Shape shape, Mode mode, UIColor color, StrokeStyle style)
        : shape_(shape), mode_(mode), color_(color), style_(style) {}
    std::string kind() const override {
        return mode_ == Mode::fill ? "fill" : mode_ == Mode::stroke ? "stroke" : "strokeBorder";
    }
    CGSize sizeThatFits(ProposedSize p, const Environment&, LayoutPass&) const override {
        return {p.width.value_or(10), p.height.value_or(10)};
    }
    void draw(CGContext& ctx, const Placed& placed) const override {
        if (color_.alpha <= 0) return;
        if (mode_ != Mode::fill && style_.lineWidth <= 0) return;
        CGRect r = placed.frame;
        if (mode_ == Mode::strokeBorder) r = r.insetBy(style_.lineWidth / 2, style_.lineWidth / 2);
        Shape shape = shape_;
        if (mode_ == Mode::strokeBorder) shape.cornerRadius = std::max(0.0, shape.cornerRadius - style_.lineWidth / 2);
        ctx.saveGState();
        addShapePath(ctx, r, shape);
        if (mode_ == Mode::fill) {
            ctx.setFillColor(color_);
            ctx.fillPath();
        } else {
            ctx.setStrokeColor(color_);
            ctx.setLineWidth(style_.lineWidth);
            ctx.setLineCap(CGLineCap::Butt);
            ctx.setLineJoin(CGLineJoin::Miter);
            ctx.setMiterLimit(style_.miterLimit);
            ctx.strokePath();
        }
        ctx.restoreGState();
    }

private:
    Shape shape_;
    Mode mode_;
    UIColor color_;
    StrokeStyle style_;
};

// System symbols, drawn as simple paths in a square of the frame.
void drawSymbol(CGContext& ctx, const std::string& name, const CGRect& frame, const UIColor& color) {
    double s = std::min(frame.size.width, frame.size.height);
    if (s <= 0) return;
    double cx = frame.midX(), cy = frame.midY();
    auto P = [&](double x, double y) { return CGPoint{cx + x * s, cy + y * s}; };
    ctx.saveGState();
    ctx.setFillColor(color);
    ctx.setStrokeColor(color);
    ctx.setLineCap(CGLineCap::Round);
    ctx.setLineJoin(CGLineJoin::Round);
    ctx.setLineWidth(0.1 * s);
    // A filled outline with a mark cut out of it.
    auto knockout = [&](const std::function<void()>& outline, const std::function<void()>& mark) {
        ctx.beginTransparencyLayer();
        outline();
        ctx.fillPath();
        ctx.setBlendMode(CGBlendMode::DestinationOut);
        mark();
        ctx.endTransparencyLayer();
    };
    auto circle = [&] { ctx.addEllipseInRect(CGRect(cx - 0.45 * s, cy - 0.45 * s, 0.9 * s, 0.9 * s)); };
    auto dot = [&](double y) {
        ctx.fillEllipseInRect(CGRect(cx - 0.06 * s, cy + (y - 0.06) * s, 0.12 * s, 0.12 * s));
    };
    auto line = [&](CGPoint a, CGPoint b) {
        ctx.moveToPoint(a);
        ctx.addLineToPoint(b);
        ctx.strokePath();
    };
    if (name == "questionmark.circle.fill") {
        knockout(circle, [&] {
            ctx.moveToPoint(P(-0.14, -0.1));
            ctx.addCurveToPoint(P(-0.14, -0.3), P(0.16, -0.3), P(0.14, -0.1));
            ctx.addCurveToPoint(P(0.13, 0.0), P(0.0, -0.01), P(0.0, 0.08));
            ctx.strokePath();
            dot(0.22);
        });
    } else if (name == "info.circle.fill") {
        knockout(circle, [&] {
            dot(-0.22);
            line(P(0, -0.04), P(0, 0.24));
        });
    } else if (name == "exclamationmark.triangle.fill") {
        knockout(
            [&] {
                ctx.moveToPoint(P(0, -0.42));
                ctx.addLineToPoint(P(0.46, 0.38));
                ctx.addLineToPoint(P(-0.46, 0.38));
                ctx.closePath();
            },
            [&] {
                line(P(0, -0.14), P(0, 0.1));
                dot(0.24);
            });
    } else if (name == "xmark") {
        line(P(-0.3, -0.3), P(0.3, 0.3));
        line(P(0.3, -0.3), P(-0.3, 0.3));
    } else if (name == "stop.fill") {
        addShapePath(ctx, CGRect(cx - 0.35 * s, cy - 0.35 * s, 0.7 * s, 0.7 * s), Shape::roundedRectangle(0.08 * s));
        ctx.fillPath();
    } else if (name == "minus") {
        line(P(-0.35, 0), P(0.35, 0));
    } else if (name == "chevron.down") {
        ctx.moveToPoint(P(-0.32, -0.14));
        ctx.addLineToPoint(P(0, 0.16));
        ctx.addLineToPoint(P(0.32, -0.14));
        ctx.strokePath();
    }
    ctx.restoreGState();
}

// A system symbol (drawn in the foreground colour), or a bitmap image (drawn as it is).
class ImageNode final : public ViewNode {
public:
    ImageNode(std::string name, bool resizable) : name_(std::move(name)), resizable_(resizable) {}
    ImageNode(std::shared_ptr<const UIImage> image, bool resizable) : image_(std::move(image)), resizable_(resizable) {}
    std::string kind() const override { return "Image"; }
    // The symbol's name, or the bitmap's name when it has one.
    std::optional<std::string> content() const override {
        if (!image_) return name_;
        if (!image_->name().empty()) return image_->name();
        return std::nullopt;
    }
    bool isResizable() const { return resizable_; }
    const std::string& name() const { return name_; }
    const std::shared_ptr<const UIImage>& image() const { return image_; }

    // A symbol's side follows the font; a bitmap's natural size is its size in points.
    CGSize idealSize(const Environment& env) const {
        if (image_) return image_->size();
        double side = env.font.value_or(Font::body()).size * 1.2;
        return {side, side};
    }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass&) const override {
        CGSize ideal = idealSize(env);
        if (!resizable_) return ideal;
        return {finite(p.width) ? *p.width : ideal.width, finite(p.height) ? *p.height : ideal.height};
    }
    void draw(CGContext& ctx, const Placed& placed) const override {
        if (image_) {
            image_->drawInRect(ctx, placed.frame, CGBlendMode::Normal, 1);
            return;
        }
        drawSymbol(ctx, name_, placed.frame, placed.env.foregroundColor.value_or(UIColor::blackColor()));
    }

private:
    std::string name_;
    std::shared_ptr<const UIImage> image_;
    bool resizable_;
};

// ---- Containers.

class GroupNode : public ViewNode {
public:
    explicit GroupNode(std::vector<NodePtr> children) : children_(std::move(children)) {}
    std::string kind() const override { return "Group"; }
    const std::vector<NodePtr>& children() const { return children_; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        CGSize out;
        for (const auto& c : children_) {
            CGSize s = pass.size(*c, p, env);
            out = {std::max(out.width, s.width), std::max(out.height, s.height)};
        }
        return out;
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        for (const auto& c : children_) {
            CGSize s = pass.size(*c, p, env);
            c->place(alignedOrigin(origin, size, s, alignment()), p, env, pass, self);
        }
    }

protected:
    virtual Alignment alignment() const { return {}; }
    std::vector<NodePtr> children_;
};

std::vector<NodePtr> flatten(const std::vector<View>& views) {
    std::vector<NodePtr> out;
    for (const auto& v : views) {
        if (auto group = std::dynamic_pointer_cast<const GroupNode>(v.node()); group && group->kind() == "Group") {
            for (const auto& c : group->children()) out.push_back(c);
        } else {
            out.push_back(v.node());
        }
    }
    return out;
}

class ZStackNode final : public GroupNode {
public:
    ZStackNode(Alignment alignment, std::vector<NodePtr> children)
        : GroupNode(std::move(children)), alignment_(alignment) {}
    std::string kind() const override { return "ZStack"; }

    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return GroupNode::sizeThatFits(p, inner(env), pass);
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        Environment e = inner(env);
        for (const auto& c : children_) {
            CGSize s = pass.size(*c, p, e);
            c->place(alignedOrigin(origin, size, s, alignment_), p, e, pass, self);
        }
    }

private:
    static Environment inner(const Environment& env) {
        Environment e = env;
        e.stackAxis = Axis::none;
        return e;
    }
    Alignment alignment() const override { return alignment_; }
    Alignment alignment_;
};

class StackNode final : public ViewNode {
public:
    StackNode(Axis axis, Alignment alignment, std::optional<double> spacing, std::vector<NodePtr> children)
        : axis_(axis), alignment_(alignment), spacing_(spacing), children_(std::move(children)) {}
    std::string kind() const override { return axis_ == Axis::horizontal ? "HStack" : "VStack"; }

    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return arrange(p, env, pass).size;
    }

    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Arrangement a = arrange(p, env, pass);
        Placed& self = addPlaced(parent, *this, CGRect(origin, a.size), env);
        Environment e = inner(env);
        double along = 0;
        for (size_t i = 0; i < children_.size(); ++i) {
            if (i > 0) along += spacingBefore(i);
            ProposedSize cp = a.proposals[i];
            CGSize s = a.sizes[i];
            bool divider = children_[i]->kind() == "Divider";
            if (divider) {
                // A divider spans the stack.
                if (horizontal()) cp.height = a.size.height; else cp.width = a.size.width;
                s = pass.size(*children_[i], cp, e);
            }
            CGPoint o = origin;
            if (horizontal()) {
                o.x += along;
                o.y += alignOffset(alignment_.vertical, a.size.height, s.height);
            } else {
                o.y += along;
                o.x += alignOffset(alignment_.horizontal, a.size.width, s.width);
            }
            children_[i]->place(o, cp, e, pass, self);
            along += horizontal() ? s.width : s.height;
        }
    }

private:
    struct Arrangement {
        std::vector<ProposedSize> proposals;
        std::vector<CGSize> sizes;
        CGSize size;
    };

    bool horizontal() const { return axis_ == Axis::horizontal; }
    Environment inner(const Environment& env) const {
        Environment e = env;
        e.stackAxis = axis_;
        return e;
    }
    double spacingBefore(size_t i) const {
        if (spacing_) return *spacing_;
        if (children_[i - 1]->kind() == "Spacer" || children_[i]->kind() == "Spacer") return 0;
        return 8;
    }
    bool isSpacer(size_t i) const { return children_[i]->kind() == "Spacer"; }
    double mainOf(CGSize s) const { return horizontal() ? s.width : s.height; }
    double crossOf(CGSize s) const { return horizontal() ? s.height : s.width; }
    ProposedSize proposal(std::optional<double> main, std::optional<double> cross) const {
        return horizontal() ? ProposedSize{main, cross} : ProposedSize{cross, main};
    }

    Arrangement arrange(ProposedSize p, const Environment& env, LayoutPass& pass) const {
        Environment e = inner(env);
        size_t n = children_.size();
        Arrangement a;
        a.proposals.resize(n);
        a.sizes.resize(n);
        double spacing = 0;
        for (size_t i = 1; i < n; ++i) spacing += spacingBefore(i);
        std::optional<double> main = horizontal() ? p.width : p.height;
        std::optional<double> cross = horizontal() ? p.height : p.width;
        if (!finite(main)) {
            for (size_t i = 0; i < n; ++i) {
                a.proposals[i] = proposal(main, cross);
                a.sizes[i] = pass.size(*children_[i], a.proposals[i], e);
            }
        } else {
            // Views first, least flexible first; spacers share what is left. Each view is
            // offered an equal part of the room the views have not used, less what the spacers
            // need at least.
            std::vector<double> flexibility(n);
            double spacerMinimum = 0;
            for (size_t i = 0; i < n; ++i) {
                double least = mainOf(pass.size(*children_[i], proposal(0.0, cross), e));
                double most = mainOf(pass.size(*children_[i], proposal(infinity, cross), e));
                flexibility[i] = std::isfinite(most) ? most - least : infinity;
                if (isSpacer(i)) spacerMinimum += least;
            }
            std::vector<size_t> order(n);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](size_t l, size_t r) {
                if (isSpacer(l) != isSpacer(r)) return !isSpacer(l);
                return flexibility[l] < flexibility[r];
            });
            size_t views = std::count_if(order.begin(), order.end(), [&](size_t i) { return !isSpacer(i); });
            double remaining = std::max(0.0, *main - spacing - spacerMinimum);
            for (size_t k = 0; k < n; ++k) {
                size_t i = order[k];
                if (k == views) remaining += spacerMinimum;
                size_t left = k < views ? views - k : n - k;
                double share = std::max(0.0, remaining / double(left));
                a.proposals[i] = proposal(share, cross);
                a.sizes[i] = pass.size(*children_[i], a.proposals[i], e);
                remaining -= mainOf(a.sizes[i]);
            }
        }
        double total = spacing, across = 0;
        for (size_t i = 0; i < n; ++i) {
            total += mainOf(a.sizes[i]);
            if (children_[i]->kind() != "Divider") across = std::max(across, crossOf(a.sizes[i]));
        }
        a.size = horizontal() ? CGSize{total, across} : CGSize{across, total};
        return a;
    }

    Axis axis_;
    Alignment alignment_;
    std::optional<double> spacing_;
    std::vector<NodePtr> children_;
};

class ButtonNode final : public ViewNode {
public:
    ButtonNode(std::function<void()> action, NodePtr label) : action_(std::move(action)), label_(std::move(label)) {}
    std::string kind() const override { return "Button"; }
    const std::function<void()>* action() const override { return &action_; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return pass.size(*label_, p, env);
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        label_->place(origin, p, env, pass, self);
    }

private:
    std::function<void()> action_;
    NodePtr label_;
};

class GeometryReaderNode final : public ViewNode {
public:
    explicit GeometryReaderNode(std::function<View(const GeometryProxy&)> content) : content_(std::move(content)) {}
    std::string kind() const override { return "GeometryReader"; }
    CGSize sizeThatFits(ProposedSize p, const Environment&, LayoutPass&) const override {
        return {p.width.value_or(10), p.height.value_or(10)};
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        View content = content_(GeometryProxy{size});
        Environment e = env;
        e.stackAxis = Axis::none;
        content.node()->place(origin, ProposedSize{size.width, size.height}, e, pass, self);
    }

private:
    std::function<View(const GeometryProxy&)> content_;
};

// ---- Modifiers: one child.

class ModifierNode : public ViewNode {
public:
    explicit ModifierNode(NodePtr child) : child_(std::move(child)) {}
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return pass.size(*child_, p, env);
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place(origin, p, env, pass, self);
    }
    const NodePtr& child() const { return child_; }

protected:
    NodePtr child_;
};

class AnyViewNode final : public ModifierNode {
public:
    using ModifierNode::ModifierNode;
    std::string kind() const override { return "AnyView"; }
};

class PaddingNode final : public ModifierNode {
public:
    PaddingNode(NodePtr child, EdgeInsets insets) : ModifierNode(std::move(child)), insets_(insets) {}
    std::string kind() const override { return "padding"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        CGSize s = pass.size(*child_, inner(p), env);
        return {std::max(0.0, s.width + insets_.leading + insets_.trailing),
                std::max(0.0, s.height + insets_.top + insets_.bottom)};
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place({origin.x + insets_.leading, origin.y + insets_.top}, inner(p), env, pass, self);
    }

private:
    ProposedSize inner(ProposedSize p) const {
        if (finite(p.width)) p.width = std::max(0.0, *p.width - insets_.leading - insets_.trailing);
        if (finite(p.height)) p.height = std::max(0.0, *p.height - insets_.top - insets_.bottom);
        return p;
    }
    EdgeInsets insets_;
};

class FixedFrameNode final : public ModifierNode {
public:
    FixedFrameNode(NodePtr child, std::optional<double> w, std::optional<double> h, Alignment a)
        : ModifierNode(std::move(child)), width_(w), height_(h), alignment_(a) {}
    std::string kind() const override { return "frame"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        if (width_ && height_) return {*width_, *height_};
        CGSize s = pass.size(*child_, inner(p), env);
        return {width_.value_or(s.width), height_.value_or(s.height)};
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        CGSize s = pass.size(*child_, inner(p), env);
        child_->place(alignedOrigin(origin, size, s, alignment_), inner(p), env, pass, self);
    }

private:
    ProposedSize inner(ProposedSize p) const {
        if (width_) p.width = width_;
        if (height_) p.height = height_;
        return p;
    }
    std::optional<double> width_, height_;
    Alignment alignment_;
};

class FlexFrameNode final : public ModifierNode {
public:
    FlexFrameNode(NodePtr child, FlexibleFrame f) : ModifierNode(std::move(child)), f_(f) {}
    std::string kind() const override { return "frame"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        CGSize s = pass.size(*child_, inner(p), env);
        return {resolve(p.width, s.width, f_.minWidth, f_.maxWidth),
                resolve(p.height, s.height, f_.minHeight, f_.maxHeight)};
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        CGSize s = pass.size(*child_, inner(p), env);
        child_->place(alignedOrigin(origin, size, s, f_.alignment), inner(p), env, pass, self);
    }

private:
    static std::optional<double> clampProposal(std::optional<double> v, std::optional<double> lo,
                                               std::optional<double> hi) {
        if (!v) return v;
        double x = *v;
        if (hi) x = std::min(x, *hi);
        if (lo) x = std::max(x, *lo);
        return x;
    }
    ProposedSize inner(ProposedSize p) const {
        return {clampProposal(p.width, f_.minWidth, f_.maxWidth), clampProposal(p.height, f_.minHeight, f_.maxHeight)};
    }
    // The axis takes the proposal within the bounds; without a bound on a side, the child's
    // length limits it there.
    static double resolve(std::optional<double> proposed, double child, std::optional<double> lo,
                          std::optional<double> hi) {
        if (!lo && !hi) return child;
        double x = finite(proposed) ? *proposed : child;
        x = hi ? std::min(x, std::max(*hi, lo.value_or(0))) : std::min(x, child);
        x = lo ? std::max(x, *lo) : std::max(x, std::min(child, hi.value_or(child)));
        return x;
    }
    FlexibleFrame f_;
};

class FixedSizeNode final : public ModifierNode {
public:
    FixedSizeNode(NodePtr child, bool h, bool v) : ModifierNode(std::move(child)), h_(h), v_(v) {}
    std::string kind() const override { return "fixedSize"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return pass.size(*child_, inner(p), env);
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place(origin, inner(p), env, pass, self);
    }

private:
    ProposedSize inner(ProposedSize p) const {
        if (h_) p.width.reset();
        if (v_) p.height.reset();
        return p;
    }
    bool h_, v_;
};

class AspectRatioNode final : public ModifierNode {
public:
    AspectRatioNode(NodePtr child, ContentMode mode) : ModifierNode(std::move(child)), mode_(mode) {}
    std::string kind() const override { return "aspectRatio"; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return pass.size(*child_, inner(p, env, pass), env);
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place(origin, inner(p, env, pass), env, pass, self);
    }

private:
    ProposedSize inner(ProposedSize p, const Environment& env, LayoutPass& pass) const {
        CGSize ideal = pass.size(*child_, {}, env);
        if (ideal.width <= 0 || ideal.height <= 0) return p;
        double ratio = ideal.width / ideal.height;
        bool w = finite(p.width), h = finite(p.height);
        if (w && h) {
            double width = mode_ == ContentMode::fit ? std::min(*p.width, *p.height * ratio)
                                                     : std::max(*p.width, *p.height * ratio);
            return {width, width / ratio};
        }
        if (w) return {*p.width, *p.width / ratio};
        if (h) return {*p.height * ratio, *p.height};
        return {ideal.width, ideal.height};
    }
    ContentMode mode_;
};

// A secondary view behind or in front of the child, offered the child's size.
class LayerNode final : public ModifierNode {
public:
    LayerNode(NodePtr child, NodePtr layer, Alignment alignment, bool behind)
        : ModifierNode(std::move(child)), layer_(std::move(layer)), alignment_(alignment), behind_(behind) {}
    std::string kind() const override { return behind_ ? "background" : "overlay"; }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        CGSize size = pass.size(*this, p, env);
        Placed& self = addPlaced(parent, *this, CGRect(origin, size), env);
        ProposedSize lp{size.width, size.height};
        Environment e = env;
        e.stackAxis = Axis::none;
        auto placeLayer = [&] {
            CGSize s = pass.size(*layer_, lp, e);
            layer_->place(alignedOrigin(origin, size, s, alignment_), lp, e, pass, self);
        };
        if (behind_) placeLayer();
        child_->place(origin, p, env, pass, self);
        if (!behind_) placeLayer();
    }

private:
    NodePtr layer_;
    Alignment alignment_;
    bool behind_;
};

class ClipNode final : public ModifierNode {
public:
    ClipNode(NodePtr child, Shape shape, bool antialiased)
        : ModifierNode(std::move(child)), shape_(shape), antialiased_(antialiased) {}
    std::string kind() const override { return shape_.cornerRadius > 0 ? "clipShape" : "clipped"; }
    void draw(CGContext& ctx, const Placed& placed) const override {
        ctx.saveGState();
        ctx.setShouldAntialias(antialiased_);
        addShapePath(ctx, placed.frame, shape_);
        ctx.clip();
        ctx.setShouldAntialias(true);
        ViewNode::draw(ctx, placed);
        ctx.restoreGState();
    }

private:
    Shape shape_;
    bool antialiased_;
};

class ShadowNode final : public ModifierNode {
public:
    ShadowNode(NodePtr child, UIColor color, double radius, double x, double y)
        : ModifierNode(std::move(child)), color_(color), radius_(radius), x_(x), y_(y) {}
    std::string kind() const override { return "shadow"; }
    void draw(CGContext& ctx, const Placed& placed) const override {
        ctx.saveGState();
        ctx.setShadow({x_, y_}, radius_, color_);
        ctx.beginTransparencyLayer();
        ViewNode::draw(ctx, placed);
        ctx.endTransparencyLayer();
        ctx.restoreGState();
    }

private:
    UIColor color_;
    double radius_, x_, y_;
};

class OpacityNode final : public ModifierNode {
public:
    OpacityNode(NodePtr child, double alpha) : ModifierNode(std::move(child)), alpha_(alpha) {}
    std::string kind() const override { return "opacity"; }
    bool hitTestable() const override { return alpha_ > 0; }
    void draw(CGContext& ctx, const Placed& placed) const override {
        if (alpha_ <= 0) return;
        ctx.saveGState();
        ctx.setAlpha(alpha_);
        ctx.beginTransparencyLayer();
        ViewNode::draw(ctx, placed);
        ctx.endTransparencyLayer();
        ctx.restoreGState();
    }

private:
    double alpha_;
};

class OffsetNode final : public ModifierNode {
public:
    OffsetNode(NodePtr child, double x, double y) : ModifierNode(std::move(child)), x_(x), y_(y) {}
    std::string kind() const override { return "offset"; }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place({origin.x + x_, origin.y + y_}, p, env, pass, self);
    }

private:
    double x_, y_;
};

// Names the view for tests and assistive technology; it changes nothing of the layout.
class AccessibilityIdentifierNode final : public ModifierNode {
public:
    AccessibilityIdentifierNode(NodePtr child, std::string identifier)
        : ModifierNode(std::move(child)), identifier_(std::move(identifier)) {}
    std::string kind() const override { return "accessibilityIdentifier"; }
    std::optional<std::string> content() const override { return identifier_; }

private:
    std::string identifier_;
};

class EnvironmentNode final : public ModifierNode {
public:
    EnvironmentNode(NodePtr child, std::string kind, std::function<void(Environment&)> apply)
        : ModifierNode(std::move(child)), kind_(std::move(kind)), apply_(std::move(apply)) {}
    std::string kind() const override { return kind_; }
    CGSize sizeThatFits(ProposedSize p, const Environment& env, LayoutPass& pass) const override {
        return pass.size(*child_, p, inner(env));
    }
    void place(CGPoint origin, ProposedSize p, const Environment& env, LayoutPass& pass,
               Placed& parent) const override {
        Placed& self = addPlaced(parent, *this, CGRect(origin, pass.size(*this, p, env)), env);
        child_->place(origin, p, inner(env), pass, self);
    }

private:
    Environment inner(const Environment& env) const {
        Environment e = env;
        apply_(e);
        return e;
    }
    std::string kind_;
    std::function<void(Environment&)> apply_;
};

class PreferenceWriterNode final : public ModifierNode {
public:
    PreferenceWriterNode(NodePtr child, std::string key, std::any value)
        : ModifierNode(std::move(child)), key_(std::move(key)), value_(std::move(value)) {}
    std::string kind() const override { return "preference"; }
    const std::string* preferenceKey() const override { return &key_; }
    const std::any* preferenceValue() const override { return &value_; }

private:
    std::string key_;
    std::any value_;
};

class PreferenceReaderNode final : public ModifierNode {
public:
    PreferenceReaderNode(NodePtr child, std::string key, std::any defaultValue,
                         std::function<void(std::any&, const std::any&)> reduce,
                         std::function<bool(const std::any&, const std::any&)> equal,
                         std::function<void(const std::any&)> action)
        : ModifierNode(std::move(child)),
          key_(std::move(key)),
          default_(std::move(defaultValue)),
          reduce_(std::move(reduce)),
          equal_(std::move(equal)),
          action_(std::move(action)) {}
    std::string kind() const override { return "onPreferenceChange"; }

    std::any collect(const Placed& placed) const {
        std::any value = default_;
        gather(placed, value);
        return value;
    }
    const std::function<bool(const std::any&, const std::any&)>& equal() const { return equal_; }
    const std::function<void(const std::any&)>& onChange() const { return action_; }

private:
    void gather(const Placed& placed, std::any& value) const {
        if (const std::string* key = placed.node->preferenceKey(); key && *key == key_) {
            reduce_(value, *placed.node->preferenceValue());
        }
        for (const auto& child : placed.children) gather(child, value);
    }
    std::string key_;
    std::any default_;
    std::function<void(std::any&, const std::any&)> reduce_;
    std::function<bool(const std::any&, const std::any&)> equal_;
    std::function<void(const std::any&)> action_;
};

}  // namespace

// ---- Environment and the pass.

size_t Environment::hash() const {
    size_t seed = 0;
    if (font) {
        hashMix(seed, std::hash<std::string>()(font->name));
        hashMix(seed, std::hash<double>()(font->size));
        hashMix(seed, static_cast<size_t>(font->weight) + 1);
    }
    hashMix(seed, bold ? 3 : 5);
    hashMix(seed, std::hash<double>()(lineSpacing));
    hashMix(seed, static_cast<size_t>(multilineTextAlignment) + 7);
    hashMix(seed, static_cast<size_t>(stackAxis) + 11);
    return seed;
}

bool LayoutPass::Key::operator==(const Key& o) const {
    auto same = [](double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; };
    return node == o.node && same(width, o.width) && same(height, o.height) && env == o.env;
}

size_t LayoutPass::KeyHash::operator()(const Key& k) const {
    size_t seed = std::hash<const void*>()(k.node);
    hashMix(seed, std::isnan(k.width) ? 1 : std::hash<double>()(k.width));
    hashMix(seed, std::isnan(k.height) ? 1 : std::hash<double>()(k.height));
    hashMix(seed, k.env);
    return seed;
}

CGSize LayoutPass::size(const ViewNode& node, ProposedSize proposal, const Environment& env) {
    Key key{&node, nanIfNone(proposal.width), nanIfNone(proposal.height), env.hash()};
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    CGSize s = node.sizeThatFits(proposal, env, *this);
    cache_.emplace(key, s);
    return s;
}

void ViewNode::place(CGPoint origin, ProposedSize proposal, const Environment& env, LayoutPass& pass,
                     Placed& parent) const {
    addPlaced(parent, *this, CGRect(origin, pass.size(*this, proposal, env)), env);
}

void ViewNode::draw(CGContext& context, const Placed& placed) const {
    for (const auto& child : placed.children) drawPlaced(context, child);
}

std::vector<const Placed*> Placed::all() const {
    std::vector<const Placed*> out{this};
    for (const auto& child : children) {
        auto below = child.all();
        out.insert(out.end(), below.begin(), below.end());
    }
    return out;
}

std::vector<const Placed*> Placed::findAll(const std::string& k) const {
    std::vector<const Placed*> out;
    for (const Placed* p : all()) {
        if (p->kind() == k) out.push_back(p);
    }
    return out;
}

const Placed* Placed::findContent(const std::string& text) const {
    for (const Placed* p : all()) {
        if (p->node->content() == text) return p;
    }
    return nullptr;
}

Placed layoutView(const View& view, CGSize space) {
    LayoutPass pass;
    Environment env;
    ProposedSize proposal{space.width, space.height};
    CGSize size = pass.size(*view.node(), proposal, env);
    static const NodePtr host = std::make_shared<HostNode>();
    Placed root{host, CGRect(0, 0, space.width, space.height), env, {}};
    view.node()->place({(space.width - size.width) / 2, (space.height - size.height) / 2}, proposal, env, pass, root);
    return root;
}

void drawPlaced(CGContext& context, const Placed& placed) {
    placed.node->draw(context, placed);
}

const Placed* hitButton(const Placed& placed, CGPoint point) {
    if (!placed.node->hitTestable()) return nullptr;
    for (auto it = placed.children.rbegin(); it != placed.children.rend(); ++it) {
        if (const Placed* hit = hitButton(*it, point)) return hit;
    }
    if (placed.node->action() && placed.frame.contains(point)) return &placed;
    return nullptr;
}

std::vector<PreferenceReading> readPreferences(const Placed& root) {
    std::vector<PreferenceReading> out;
    for (const Placed* p : root.all()) {
        if (auto reader = dynamic_cast<const PreferenceReaderNode*>(p->node.get())) {
            out.push_back({reader, reader->collect(*p), reader->equal(), reader->onChange()});
        }
    }
    return out;
}

// ---- The view builders.

View::View() : node_(std::make_shared<EmptyNode>()) {}

View View::padding(const EdgeInsets& insets) const {
    return View(std::make_shared<PaddingNode>(node_, insets));
}
View View::frame(std::optional<double> width, std::optional<double> height, Alignment alignment) const {
    return View(std::make_shared<FixedFrameNode>(node_, width, height, alignment));
}
View View::frame(const FlexibleFrame& f) const {
    return View(std::make_shared<FlexFrameNode>(node_, f));
}
View View::background(const View& view, Alignment alignment) const {
    return View(std::make_shared<LayerNode>(node_, view.node(), alignment, true));
}
View View::background(const UIColor& color) const {
    return background(ColorView(color));
}
View View::overlay(const View& view, Alignment alignment) const {
    return View(std::make_shared<LayerNode>(node_, view.node(), alignment, false));
}
View View::clipShape(const Shape& shape, bool antialiased) const {
    return View(std::make_shared<ClipNode>(node_, shape, antialiased));
}
View View::clipped(bool antialiased) const {
    return View(std::make_shared<ClipNode>(node_, Shape::rectangle(), antialiased));
}
View View::shadow(const UIColor& color, double radius, double x, double y) const {
    return View(std::make_shared<ShadowNode>(node_, color, radius, x, y));
}
View View::offset(double x, double y) const {
    return View(std::make_shared<OffsetNode>(node_, x, y));
}
View View::accessibilityIdentifier(std::string identifier) const {
    return View(std::make_shared<AccessibilityIdentifierNode>(node_, std::move(identifier)));
}
View View::opacity(double alpha) const {
    return View(std::make_shared<OpacityNode>(node_, alpha));
}
View View::fixedSize(bool horizontal, bool vertical) const {
    return View(std::make_shared<FixedSizeNode>(node_, horizontal, vertical));
}
View View::aspectRatio(ContentMode mode) const {
    return View(std::make_shared<AspectRatioNode>(node_, mode));
}
View View::resizable() const {
    if (auto image = std::dynamic_pointer_cast<const ImageNode>(node_)) {
        if (image->image()) return View(std::make_shared<ImageNode>(image->image(), true));
        return View(std::make_shared<ImageNode>(image->name(), true));
    }
    return *this;
}
View View::font(const Font& f) const {
    return View(std::make_shared<EnvironmentNode>(node_, "font", [f](Environment& e) { e.font = f; }));
}
View View::foregroundColor(const UIColor& color) const {
    return View(std::make_shared<EnvironmentNode>(node_, "foregroundColor",
                                                  [color](Environment& e) { e.foregroundColor = color; }));
}
View View::bold(bool active) const {
    return View(std::make_shared<EnvironmentNode>(node_, "bold", [active](Environment& e) {
        if (active) e.bold = true;
    }));
}
View View::lineSpacing(double spacing) const {
    return View(
        std::make_shared<EnvironmentNode>(node_, "lineSpacing", [spacing](Environment& e) { e.lineSpacing = spacing; }));
}
View View::multilineTextAlignment(TextAlignment alignment) const {
    return View(std::make_shared<EnvironmentNode>(
        node_, "multilineTextAlignment", [alignment](Environment& e) { e.multilineTextAlignment = alignment; }));
}
View View::eraseToAnyView() const {
    return AnyView(*this);
}
View View::writePreference(ErasedKey key, std::any value) const {
    return View(std::make_shared<PreferenceWriterNode>(node_, std::move(key.name), std::move(value)));
}
View View::readPreference(ErasedKey key, std::function<void(const std::any&)> action) const {
    return View(std::make_shared<PreferenceReaderNode>(node_, std::move(key.name), std::move(key.defaultValue),
                                                       std::move(key.reduce), std::move(key.equal),
                                                       std::move(action)));
}

View EmptyView() {
    return View();
}
View AnyView(const View& view) {
    return View(std::make_shared<AnyViewNode>(view.node()));
}
View Group(std::vector<View> views) {
    return View(std::make_shared<GroupNode>(flatten(views)));
}
View VStack(HorizontalAlignment alignment, std::optional<double> spacing, std::vector<View> children) {
    return View(std::make_shared<StackNode>(Axis::vertical, Alignment{alignment, VerticalAlignment::center}, spacing,
                                            flatten(children)));
}
View HStack(VerticalAlignment alignment, std::optional<double> spacing, std::vector<View> children) {
    return View(std::make_shared<StackNode>(Axis::horizontal, Alignment{HorizontalAlignment::center, alignment},
                                            spacing, flatten(children)));
}
View ZStack(Alignment alignment, std::vector<View> children) {
    return View(std::make_shared<ZStackNode>(alignment, flatten(children)));
}
View Text(std::string text) {
    return View(std::make_shared<TextNode>(std::move(text)));
}
View Spacer(std::optional<double> minLength) {
    return View(std::make_shared<SpacerNode>(minLength));
}
View Divider() {
    return View(std::make_shared<DividerNode>());
}
View Button(std::function<void()> action, const View& label) {
    return View(std::make_shared<ButtonNode>(std::move(action), label.node()));
}
View Image(std::string systemName) {
    return View(std::make_shared<ImageNode>(std::move(systemName), false));
}
View Image(std::shared_ptr<const UIImage> image) {
    if (!image) return EmptyView();
    return View(std::make_shared<ImageNode>(std::move(image), false));
}
View GeometryReader(std::function<View(const GeometryProxy&)> content) {
    return View(std::make_shared<GeometryReaderNode>(std::move(content)));
}
View ColorView(const UIColor& color) {
    return View(std::make_shared<ColorNode>(color));
}
View fill(const Shape& shape, const UIColor& color) {
    return View(std::make_shared<ShapeNode>(shape, ShapeNode::Mode::fill, color, StrokeStyle{}));
}
View stroke(const Shape& shape, const UIColor& color, const StrokeStyle& style) {
    return View(std::make_shared<ShapeNode>(shape, ShapeNode::Mode::stroke, color, style));
}
View strokeBorder(const Shape& shape, const UIColor& color, double lineWidth) {
    return View(std::make_shared<ShapeNode>(shape, ShapeNode::Mode::strokeBorder, color, StrokeStyle{lineWidth}));
}

}  // namespace brindlecue::platform::swiftui
