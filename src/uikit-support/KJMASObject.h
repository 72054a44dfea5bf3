#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASViewAttribute.h"

namespace brindlecue {

// Layout attribute values, as the platform numbers them; 0 is no attribute. Baseline and last
// baseline share 11.
enum KJMASLayoutAttribute : int64_t {
    KJMASLayoutAttributeNone = 0,
    KJMASLayoutAttributeLeft = 1,
    KJMASLayoutAttributeRight = 2,
    KJMASLayoutAttributeTop = 3,
    KJMASLayoutAttributeBottom = 4,
    KJMASLayoutAttributeLeading = 5,
    KJMASLayoutAttributeTrailing = 6,
    KJMASLayoutAttributeWidth = 7,
    KJMASLayoutAttributeHeight = 8,
    KJMASLayoutAttributeCenterX = 9,
    KJMASLayoutAttributeCenterY = 10,
    KJMASLayoutAttributeBaseline = 11,
    KJMASLayoutAttributeLastBaseline = 11,
    KJMASLayoutAttributeFirstBaseline = 12,
    KJMASLayoutAttributeLeftMargin = 13,
    KJMASLayoutAttributeRightMargin = 14,
    KJMASLayoutAttributeTopMargin = 15,
    KJMASLayoutAttributeBottomMargin = 16,
    KJMASLayoutAttributeLeadingMargin = 17,
    KJMASLayoutAttributeTrailingMargin = 18,
    KJMASLayoutAttributeCenterXWithinMargins = 19,
    KJMASLayoutAttributeCenterYWithinMargins = 20,
};

// Attribute masks: attribute value n is bit n.
enum KJMASAttribute : uint64_t {
    KJMASAttributeLeft = 1 << 1,
    KJMASAttributeRight = 1 << 2,
    KJMASAttributeTop = 1 << 3,
    KJMASAttributeBottom = 1 << 4,
    KJMASAttributeLeading = 1 << 5,
    KJMASAttributeTrailing = 1 << 6,
    KJMASAttributeWidth = 1 << 7,
    KJMASAttributeHeight = 1 << 8,
    KJMASAttributeCenterX = 1 << 9,
    KJMASAttributeCenterY = 1 << 10,
    KJMASAttributeBaseline = 1 << 11,
    KJMASAttributeFirstBaseline = 1 << 12,
    KJMASAttributeLastBaseline = 1 << 11,
    KJMASAttributeLeftMargin = 1 << 13,
    KJMASAttributeRightMargin = 1 << 14,
    KJMASAttributeTopMargin = 1 << 15,
    KJMASAttributeBottomMargin = 1 << 16,
    KJMASAttributeLeadingMargin = 1 << 17,
    KJMASAttributeTrailingMargin = 1 << 18,
    KJMASAttributeCenterXWithinMargins = 1 << 19,
    KJMASAttributeCenterYWithinMargins = 1 << 20,
    KJMASAttributeEdges = 30,
    KJMASAttributeSize = 384,
    KJMASAttributeCenter = 1536,
};

// A structure boxed as a value object: its type encoding and its fields in order.
struct KJMASBoxedValue {
    std::string objCType;
    std::vector<double> fields;
};

inline constexpr const char* kKJMASPointEncoding = "{CGPoint=dd}";
inline constexpr const char* kKJMASSizeEncoding = "{CGSize=dd}";
inline constexpr const char* kKJMASEdgeInsetsEncoding = "{UIEdgeInsets=dddd}";

// An object handed to the language: what a relation names as its partner and what values are
// boxed into. It is nothing, a number, a boxed structure (points, sizes and edge insets box
// themselves), a view, a view attribute, an array of these, or any other platform object (which
// relations ignore).
class KJMASObject {
public:
    KJMASObject() = default;
    KJMASObject(std::nullptr_t) {}
    template <class N>
    requires(std::is_arithmetic_v<N> && !std::is_same_v<N, bool>) KJMASObject(N number)
        : value_(static_cast<double>(number)) {}
    KJMASObject(platform::CGPoint p) : value_(KJMASBoxedValue{kKJMASPointEncoding, {p.x, p.y}}) {}
    KJMASObject(platform::CGSize s) : value_(KJMASBoxedValue{kKJMASSizeEncoding, {s.width, s.height}}) {}
    KJMASObject(const platform::UIEdgeInsets& i)
        : value_(KJMASBoxedValue{kKJMASEdgeInsetsEncoding, {i.top, i.left, i.bottom, i.right}}) {}
    KJMASObject(KJMASBoxedValue boxed) : value_(std::move(boxed)) {}
    template <class T>
    requires std::derived_from<T, platform::NSObject> KJMASObject(const std::shared_ptr<T>& object) {
        if (object) value_ = std::static_pointer_cast<platform::NSObject>(object);
    }
    KJMASObject(std::vector<KJMASObject> array)
        : value_(std::make_shared<const std::vector<KJMASObject>>(std::move(array))) {}

    bool isNil() const { return std::holds_alternative<std::monostate>(value_); }
    std::optional<double> number() const;
    const KJMASBoxedValue* boxedValue() const { return std::get_if<KJMASBoxedValue>(&value_); }
    // A number or a boxed structure.
    bool isValue() const { return number().has_value() || boxedValue() != nullptr; }
    const std::vector<KJMASObject>* array() const;
    std::shared_ptr<platform::NSObject> object() const;
    std::shared_ptr<platform::UIView> view() const;
    std::shared_ptr<KJMASViewAttribute> viewAttribute() const;

private:
    std::variant<std::monostate, double, KJMASBoxedValue, std::shared_ptr<platform::NSObject>,
                 std::shared_ptr<const std::vector<KJMASObject>>>
        value_;
};

}  // namespace brindlecue
