#pragma once

#include <any>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "platform/swiftui/ViewTypes.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {
class CGContext;
class UIImage;
}

// A small declarative view layer: views are immutable node trees (stacks, text, buttons, symbol
// images, shapes, colours, geometry readers) wrapped in modifiers (padding, frames, backgrounds,
// overlays, clips, shadows, offsets, opacity, fixed size, environment values, preferences).
//
// Layout is proposal-based: a parent proposes a size (a length or none per axis), the child
// answers the size it takes, and the parent places it. Text is measured by the graphics
// stand-in's text layout (Pango). Stacks give their children room in order of flexibility (the
// least flexible first), with 8 points between neighbours unless told, none next to a spacer.
// A divider spans the other children of its stack. Geometry readers take the whole proposal and
// build their content from it. Nothing respects safe areas: hosted views lay out in their
// host's bounds. A hosting controller (UIHostingController.h) lays out, draws, passes taps to
// buttons and runs preference actions.
namespace brindlecue::platform::swiftui {

class ViewNode;
using NodePtr = std::shared_ptr<const ViewNode>;
struct Placed;
class LayoutPass;

enum class Axis { none, horizontal, vertical };

// Values that flow down the tree to the text and images below a modifier.
struct Environment {
    std::optional<Font> font;
    std::optional<UIColor> foregroundColor;
    bool bold = false;
    double lineSpacing = 0;
    TextAlignment multilineTextAlignment = TextAlignment::leading;
    Axis stackAxis = Axis::none;  // the stack a spacer or divider sits in

    size_t hash() const;
};

struct GeometryProxy {
    CGSize size;
};

struct StrokeStyle {
    double lineWidth = 1;
    double miterLimit = 10;  // butt caps and miter joins, no dash
};

enum class RoundedCornerStyle { circular, continuous };

// A rectangle (no corner radius) or a rounded rectangle.
struct Shape {
    double cornerRadius = 0;
    RoundedCornerStyle style = RoundedCornerStyle::circular;
    static Shape rectangle() { return {}; }
    static Shape roundedRectangle(double radius, RoundedCornerStyle style = RoundedCornerStyle::circular) {
        return {radius, style};
    }
};

enum class ContentMode { fit, fill };

// A flexible frame's bounds; none leaves the axis to the child.
struct FlexibleFrame {
    std::optional<double> minWidth, maxWidth, minHeight, maxHeight;
    Alignment alignment;
};

inline constexpr double infinity = std::numeric_limits<double>::infinity();

class View;

// A reusable group of modifiers.
class ViewModifier {
public:
    virtual ~ViewModifier() = default;
    virtual View body(const View& content) const = 0;
};

// A view value: a shared, immutable node.
class View {
public:
    View();  // an empty view
    explicit View(NodePtr node) : node_(std::move(node)) {}

    const NodePtr& node() const { return node_; }

    View padding(const EdgeInsets& insets) const;
    View padding(double all) const { return padding(EdgeInsets{all, all, all, all}); }
    View frame(std::optional<double> width, std::optional<double> height, Alignment alignment = {}) const;
    View frame(const FlexibleFrame& frame) const;
    View background(const View& view, Alignment alignment = {}) const;
    View background(const UIColor& color) const;
    View overlay(const View& view, Alignment alignment = {}) const;
    View clipShape(const Shape& shape, bool antialiased = true) const;
    View clipped(bool antialiased = false) const;
    View shadow(const UIColor& color, double radius, double x, double y) const;
    View offset(double x, double y) const;
    View opacity(double alpha) const;
    // The identifier tests and assistive technology find the view by (kind
    // "accessibilityIdentifier", its content the identifier).
    View accessibilityIdentifier(std::string identifier) const;
    View fixedSize(bool horizontal, bool vertical) const;
    View aspectRatio(ContentMode mode) const;
    // Images only: the image takes the size it is offered instead of its own.
    View resizable() const;

    // Environment values for the text and images below.
    View font(const Font& font) const;
    View foregroundColor(const UIColor& color) const;
    View bold(bool active = true) const;
    View lineSpacing(double spacing) const;
    View multilineTextAlignment(TextAlignment alignment) const;

    View modifier(const ViewModifier& modifier) const { return modifier.body(*this); }
    View eraseToAnyView() const;

    // Preferences. A key type has `using Value = ...`, `static Value defaultValue()` and
    // `static void reduce(Value& value, const Value& next)`.
    template <class Key>
    View preference(typename Key::Value value) const;
    // The action runs after the first layout with the value below it and again whenever that
    // value changes.
    template <class Key>
    View onPreferenceChange(std::function<void(const typename Key::Value&)> action) const;

private:
    struct ErasedKey {
        std::string name;
        std::any defaultValue;
        std::function<void(std::any&, const std::any&)> reduce;
        std::function<bool(const std::any&, const std::any&)> equal;
    };
    template <class Key>
    static ErasedKey erase();
    View writePreference(ErasedKey key, std::any value) const;
    View readPreference(ErasedKey key, std::function<void(const std::any&)> action) const;

    NodePtr node_;
};

View EmptyView();
View AnyView(const View& view);
// Views a parent stack lays out as its own children.
View Group(std::vector<View> views);
View VStack(HorizontalAlignment alignment, std::optional<double> spacing, std::vector<View> children);
View HStack(VerticalAlignment alignment, std::optional<double> spacing, std::vector<View> children);
View ZStack(Alignment alignment, std::vector<View> children);
View Text(std::string text);
View Spacer(std::optional<double> minLength = std::nullopt);
View Divider();
View Button(std::function<void()> action, const View& label);
// A system symbol, drawn in the foreground colour.
View Image(std::string systemName);
// A bitmap image at its size in points (an empty view for none); its content is the image's
// name when it has one.
View Image(std::shared_ptr<const UIImage> image);
View GeometryReader(std::function<View(const GeometryProxy&)> content);
// A colour as a view: fills what it is offered.
View ColorView(const UIColor& color);
// A shape filled, stroked on its edge, or stroked inside its bounds.
View fill(const Shape& shape, const UIColor& color);
View stroke(const Shape& shape, const UIColor& color, const StrokeStyle& style);
View strokeBorder(const Shape& shape, const UIColor& color, double lineWidth);

// A view returning `transform(view)` when the condition holds, else the view, type-erased.
template <class F>
View applyIf(const View& view, bool condition, F&& transform) {
    return condition ? AnyView(transform(view)) : AnyView(view);
}

// ---- Nodes and their layout.

// One node of a view tree. Nodes are immutable and shared.
class ViewNode : public std::enable_shared_from_this<ViewNode> {
public:
    virtual ~ViewNode() = default;
    // "VStack", "Text", "padding", "frame", "Button", ...
    virtual std::string kind() const = 0;
    // The text of a Text, the symbol name of an Image.
    virtual std::optional<std::string> content() const { return std::nullopt; }
    virtual CGSize sizeThatFits(ProposedSize proposal, const Environment& env, LayoutPass& pass) const = 0;
    // Places the node at the origin for the proposal it was sized with, adding it (with its
    // children) to the parent's placement.
    virtual void place(CGPoint origin, ProposedSize proposal, const Environment& env, LayoutPass& pass,
                       Placed& parent) const;
    // Draws the placed node; the default draws its children.
    virtual void draw(CGContext& context, const Placed& placed) const;
    // True for buttons: a tap inside runs their action.
    virtual const std::function<void()>* action() const { return nullptr; }
    // False for a subtree that taps go through (opacity 0).
    virtual bool hitTestable() const { return true; }
    // Preference writers and readers.
    virtual const std::string* preferenceKey() const { return nullptr; }
    virtual const std::any* preferenceValue() const { return nullptr; }
};

// A node as placed (the root of a layout is the host's space, kind "Host"): its frame in the
// host's coordinates, the environment it saw, and its
// children in drawing order.
struct Placed {
    NodePtr node;
    CGRect frame;
    Environment env;
    std::vector<Placed> children;

    std::string kind() const { return node->kind(); }
    // Every placed node below (and including) this one, depth first.
    std::vector<const Placed*> all() const;
    std::vector<const Placed*> findAll(const std::string& kind) const;
    // The first Text (or Image) whose content is the text.
    const Placed* findContent(const std::string& content) const;
};

// Sizes measured during one layout, by node, proposal and environment.
class LayoutPass {
public:
    CGSize size(const ViewNode& node, ProposedSize proposal, const Environment& env);

private:
    struct Key {
        const ViewNode* node;
        double width, height;  // NaN for none
        size_t env;
        bool operator==(const Key&) const;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    std::unordered_map<Key, CGSize, KeyHash> cache_;
};

// Lays the view out in a space of the given size (centred in it), and draws a placed tree.
Placed layoutView(const View& view, CGSize space);
void drawPlaced(CGContext& context, const Placed& placed);
// The innermost button under the point, front first; null when none.
const Placed* hitButton(const Placed& placed, CGPoint point);

// ---- Preferences (templates).
template <class Key>
View::ErasedKey View::erase() {
    using V = typename Key::Value;
    return {typeid(Key).name(), std::any(Key::defaultValue()),
            [](std::any& value, const std::any& next) {
                Key::reduce(*std::any_cast<V>(&value), std::any_cast<const V&>(next));
            },
            [](const std::any& a, const std::any& b) { return std::any_cast<const V&>(a) == std::any_cast<const V&>(b); }};
}

template <class Key>
View View::preference(typename Key::Value value) const {
    return writePreference(erase<Key>(), std::any(std::move(value)));
}

template <class Key>
View View::onPreferenceChange(std::function<void(const typename Key::Value&)> action) const {
    using V = typename Key::Value;
    return readPreference(erase<Key>(), [action = std::move(action)](const std::any& value) {
        action(std::any_cast<const V&>(value));
    });
}

// The reader nodes of a placed tree, in order, with the value below each; used by the host.
struct PreferenceReading {
    const ViewNode* reader;
    std::any value;
    std::function<bool(const std::any&, const std::any&)> equal;
    std::function<void(const std::any&)> action;
};
std::vector<PreferenceReading> readPreferences(const Placed& root);

}  // namespace brindlecue::platform::swiftui
