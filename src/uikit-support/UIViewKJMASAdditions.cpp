#include "uikit-support/UIViewKJMASAdditions.h"

#include "platform/uikit/UILayoutGuide.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASConstraintMaker.h"
#include "uikit-support/KJMASViewAttribute.h"
#include "uikit-support/KJMASViewConstraint.h"

namespace brindlecue {

using platform::UIView;

namespace {

enum class Mode { Make, Update, Remake };

std::vector<KJMASConstraintPtr> run(const std::shared_ptr<UIView>& view, const KJMASMakerBlock& block,
                                    Mode mode) {
    if (!view) return {};
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto maker = platform::make<KJMASConstraintMaker>(view);
    maker->setUpdateExisting(mode == Mode::Update);
    maker->setRemoveExisting(mode == Mode::Remake);
    if (block) block(*maker);
    return maker->install();
}

UIViewKJMASAdditions::Attribute attribute(const std::shared_ptr<UIView>& view, int64_t value) {
    return platform::make<KJMASViewAttribute>(view, value);
}

UIViewKJMASAdditions::Attribute guideAttribute(const std::shared_ptr<UIView>& view, int64_t value) {
    std::shared_ptr<platform::NSObject> guide = view ? view->safeAreaLayoutGuide() : nullptr;
    return platform::make<KJMASViewAttribute>(view, guide, value);
}

using Installed = std::vector<std::shared_ptr<KJMASViewConstraint>>;
constexpr const char* kInstalledKey = "mas_installedConstraints";
constexpr const char* kKeyKey = "mas_key";

}  // namespace

std::vector<KJMASConstraintPtr> UIViewKJMASAdditions::mas_makeConstraints(const std::shared_ptr<UIView>& view,
                                                                          const KJMASMakerBlock& block) {
    return run(view, block, Mode::Make);
}

std::vector<KJMASConstraintPtr> UIViewKJMASAdditions::mas_updateConstraints(
    const std::shared_ptr<UIView>& view, const KJMASMakerBlock& block) {
    return run(view, block, Mode::Update);
}

std::vector<KJMASConstraintPtr> UIViewKJMASAdditions::mas_remakeConstraints(
    const std::shared_ptr<UIView>& view, const KJMASMakerBlock& block) {
    return run(view, block, Mode::Remake);
}

// clang-format off
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_left(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeLeft); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_right(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeRight); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_top(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeTop); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_bottom(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeBottom); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_leading(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeLeading); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_trailing(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeTrailing); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_width(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeWidth); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_height(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeHeight); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_centerX(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeCenterX); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_centerY(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeCenterY); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_baseline(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeBaseline); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_firstBaseline(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeFirstBaseline); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_lastBaseline(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeLastBaseline); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_leftMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeLeftMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_rightMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeRightMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_topMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeTopMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_bottomMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeBottomMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_leadingMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeLeadingMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_trailingMargin(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeTrailingMargin); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_centerXWithinMargins(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeCenterXWithinMargins); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_centerYWithinMargins(const std::shared_ptr<UIView>& v) { return attribute(v, KJMASLayoutAttributeCenterYWithinMargins); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_safeAreaLayoutGuide(const std::shared_ptr<UIView>& v) { return guideAttribute(v, KJMASLayoutAttributeBottom); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_safeAreaLayoutGuideTop(const std::shared_ptr<UIView>& v) { return guideAttribute(v, KJMASLayoutAttributeTop); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_safeAreaLayoutGuideBottom(const std::shared_ptr<UIView>& v) { return guideAttribute(v, KJMASLayoutAttributeBottom); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_safeAreaLayoutGuideLeft(const std::shared_ptr<UIView>& v) { return guideAttribute(v, KJMASLayoutAttributeLeft); }
UIViewKJMASAdditions::Attribute UIViewKJMASAdditions::mas_safeAreaLayoutGuideRight(const std::shared_ptr<UIView>& v) { return guideAttribute(v, KJMASLayoutAttributeRight); }
// clang-format on

std::function<UIViewKJMASAdditions::Attribute(int64_t)> UIViewKJMASAdditions::mas_attribute(
    const std::shared_ptr<UIView>& view) {
    std::weak_ptr<UIView> weak = view;
    return [weak](int64_t value) { return attribute(weak.lock(), value); };
}

platform::Value UIViewKJMASAdditions::mas_key(const std::shared_ptr<UIView>& view) {
    return view ? view->associatedValue(kKeyKey) : platform::Value();
}

void UIViewKJMASAdditions::setMas_key(const std::shared_ptr<UIView>& view, const platform::Value& key) {
    if (view) view->setAssociatedValue(kKeyKey, key);
}

std::shared_ptr<UIView> UIViewKJMASAdditions::mas_closestCommonSuperview(
    const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& other) {
    for (auto s = other; s; s = s->superview())
        for (auto f = view; f; f = f->superview())
            if (s == f) return s;
    return nullptr;
}

std::vector<std::shared_ptr<KJMASViewConstraint>>& UIViewKJMASConstraints::mas_installedConstraints(
    const std::shared_ptr<UIView>& view) {
    auto installed = view->associatedObject<Installed>(kInstalledKey);
    if (!installed) {
        installed = std::make_shared<Installed>();
        view->setAssociatedObject(kInstalledKey, installed);
    }
    return *installed;
}

}  // namespace brindlecue
