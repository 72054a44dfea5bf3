#include "uikit-support/NSArrayKJMASAdditions.h"

#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASConstraintMaker.h"

namespace brindlecue {

using platform::UIView;

namespace {

using Entry = std::vector<KJMASConstraintPtr> (*)(const std::shared_ptr<UIView>&, const KJMASMakerBlock&);

std::vector<KJMASConstraintPtr> each(const NSArrayKJMASAdditions::Views& views, const KJMASMakerBlock& block,
                                     Entry entry) {
    std::vector<KJMASConstraintPtr> all;
    for (const auto& view : views) {
        if (!view) continue;
        auto installed = entry(view, block);
        all.insert(all.end(), installed.begin(), installed.end());
    }
    return all;
}

}  // namespace

std::vector<KJMASConstraintPtr> NSArrayKJMASAdditions::mas_makeConstraints(const Views& views,
                                                                           const KJMASMakerBlock& block) {
    return each(views, block, &UIViewKJMASAdditions::mas_makeConstraints);
}

std::vector<KJMASConstraintPtr> NSArrayKJMASAdditions::mas_updateConstraints(const Views& views,
                                                                             const KJMASMakerBlock& block) {
    return each(views, block, &UIViewKJMASAdditions::mas_updateConstraints);
}

std::vector<KJMASConstraintPtr> NSArrayKJMASAdditions::mas_remakeConstraints(const Views& views,
                                                                             const KJMASMakerBlock& block) {
    return each(views, block, &UIViewKJMASAdditions::mas_remakeConstraints);
}

std::shared_ptr<UIView> NSArrayKJMASAdditions::mas_commonSuperviewOfViews(const Views& views) {
    std::shared_ptr<UIView> common;
    bool first = true;
    for (const auto& view : views) {
        if (!view) continue;
        common = first ? view : UIViewKJMASAdditions::mas_closestCommonSuperview(view, common);
        first = false;
    }
    return common;
}

void NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedSpacing(
    const Views& views, uint64_t axisType, double fixedSpacing, double leadSpacing, double tailSpacing) {
    if (views.size() < 2) return;
    auto container = mas_commonSuperviewOfViews(views);
    bool horizontal = axisType == KJMASAxisTypeHorizontal;
    int32_t count = static_cast<int32_t>(views.size());
    std::shared_ptr<UIView> previous;
    for (int32_t i = 0; i < count; ++i) {
        const auto& view = views[static_cast<size_t>(i)];
        UIViewKJMASAdditions::mas_makeConstraints(view, [&](KJMASConstraintMaker& make) {
            if (previous) {
                if (horizontal) {
                    make.width()->equalTo(previous);
                    make.left()->equalTo(UIViewKJMASAdditions::mas_right(previous))->offset(fixedSpacing);
                    if (i == count - 1) make.right()->equalTo(container)->offset(-tailSpacing);
                } else {
                    make.height()->equalTo(previous);
                    make.top()->equalTo(UIViewKJMASAdditions::mas_bottom(previous))->offset(fixedSpacing);
                    if (i == count - 1) make.bottom()->equalTo(container)->offset(-tailSpacing);
                }
            } else {
                if (horizontal)
                    make.left()->equalTo(container)->offset(leadSpacing);
                else
                    make.top()->equalTo(container)->offset(leadSpacing);
            }
        });
        previous = view;
    }
}

void NSArrayKJMASAdditions::mas_distributeViewsAlongAxisWithFixedItemLength(
    const Views& views, uint64_t axisType, double fixedItemLength, double leadSpacing, double tailSpacing) {
    if (views.size() < 2) return;
    auto container = mas_commonSuperviewOfViews(views);
    bool horizontal = axisType == KJMASAxisTypeHorizontal;
    int32_t count = static_cast<int32_t>(views.size());
    double last = static_cast<double>(views.size() - 1);
    for (int32_t i = 0; i < count; ++i) {
        UIViewKJMASAdditions::mas_makeConstraints(
            views[static_cast<size_t>(i)], [&](KJMASConstraintMaker& make) {
                (horizontal ? make.width() : make.height())->equalTo(fixedItemLength);
                auto leadEdge = [&] { return horizontal ? make.left() : make.top(); };
                auto tailEdge = [&] { return horizontal ? make.right() : make.bottom(); };
                if (i == 0) {
                    leadEdge()->equalTo(container)->offset(leadSpacing);
                } else if (i == count - 1) {
                    tailEdge()->equalTo(container)->offset(-tailSpacing);
                } else {
                    double m = static_cast<double>(i) / last;
                    double offset = (1 - m) * (fixedItemLength + leadSpacing) -
                                    static_cast<double>(i) * tailSpacing / last;
                    tailEdge()->equalTo(container)->multipliedBy(m)->offset(offset);
                }
            });
    }
}

}  // namespace brindlecue
