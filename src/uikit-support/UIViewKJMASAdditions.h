#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Value.h"
#include "uikit-support/KJMASConstraint.h"

namespace brindlecue {

namespace platform {
class UIView;
}
class KJMASConstraintMaker;
class KJMASViewAttribute;
class KJMASViewConstraint;

using KJMASMakerBlock = std::function<void(KJMASConstraintMaker& make)>;

// The constraint language's entry points and attribute getters on every view. Main thread.
struct UIViewKJMASAdditions {
    // Each turns off the view's translation of its autoresizing mask (the view's only), runs the
    // block on a new maker for the view and installs what it declared, returning the installed
    // statements: make adds; update changes the constant of a similar platform constraint the
    // language installed before instead of adding one; remake uninstalls the statements
    // installed with this view as first view first.
    static std::vector<KJMASConstraintPtr> mas_makeConstraints(const std::shared_ptr<platform::UIView>& view,
                                                               const KJMASMakerBlock& block);
    static std::vector<KJMASConstraintPtr> mas_updateConstraints(
        const std::shared_ptr<platform::UIView>& view, const KJMASMakerBlock& block);
    static std::vector<KJMASConstraintPtr> mas_remakeConstraints(
        const std::shared_ptr<platform::UIView>& view, const KJMASMakerBlock& block);

    using Attribute = std::shared_ptr<KJMASViewAttribute>;
    static Attribute mas_left(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_right(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_top(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_bottom(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_leading(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_trailing(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_width(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_height(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_centerX(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_centerY(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_baseline(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_firstBaseline(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_lastBaseline(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_leftMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_rightMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_topMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_bottomMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_leadingMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_trailingMargin(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_centerXWithinMargins(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_centerYWithinMargins(const std::shared_ptr<platform::UIView>& view);
    // The safe-area getters name the view's safe-area layout guide as item; the plain one is the
    // guide's bottom.
    static Attribute mas_safeAreaLayoutGuide(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_safeAreaLayoutGuideTop(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_safeAreaLayoutGuideBottom(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_safeAreaLayoutGuideLeft(const std::shared_ptr<platform::UIView>& view);
    static Attribute mas_safeAreaLayoutGuideRight(const std::shared_ptr<platform::UIView>& view);
    // A getter for any attribute value.
    static std::function<Attribute(int64_t)> mas_attribute(const std::shared_ptr<platform::UIView>& view);

    // The view's debugging key (absent by default).
    static platform::Value mas_key(const std::shared_ptr<platform::UIView>& view);
    static void setMas_key(const std::shared_ptr<platform::UIView>& view, const platform::Value& key);

    // The nearest view that is an ancestor-or-self of both; null when there is none or other is
    // null.
    static std::shared_ptr<platform::UIView> mas_closestCommonSuperview(
        const std::shared_ptr<platform::UIView>& view, const std::shared_ptr<platform::UIView>& other);
};

// The per-view set of installed statements.
struct UIViewKJMASConstraints {
    // The statements installed with the view as first view, made empty on first use. The view
    // keeps them (and so its installed statements) alive.
    static std::vector<std::shared_ptr<KJMASViewConstraint>>& mas_installedConstraints(
        const std::shared_ptr<platform::UIView>& view);
};

}  // namespace brindlecue
