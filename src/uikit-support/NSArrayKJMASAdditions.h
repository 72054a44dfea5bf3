#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {

// Axis of the distribution operations: 0 horizontal, anything else vertical.
enum KJMASAxisType : uint64_t { KJMASAxisTypeHorizontal = 0, KJMASAxisTypeVertical = 1 };

// The constraint language on arrays of views. Null entries are passed over. Main thread.
struct NSArrayKJMASAdditions {
    using Views = std::vector<std::shared_ptr<platform::UIView>>;

    // The view operation of the same name on every view, in order; the installed statements of
    // all of them, in that order.
    static std::vector<KJMASConstraintPtr> mas_makeConstraints(const Views& views,
                                                               const KJMASMakerBlock& block);
    static std::vector<KJMASConstraintPtr> mas_updateConstraints(const Views& views,
                                                                 const KJMASMakerBlock& block);
    static std::vector<KJMASConstraintPtr> mas_remakeConstraints(const Views& views,
                                                                 const KJMASMakerBlock& block);

    // Views of one length along the axis with the fixed spacing between them and the lead and
    // tail spacing to the edges of their common superview. Fewer than two views: nothing.
    static void mas_distributeViewsAlongAxisWithFixedSpacing(const Views& views, uint64_t axisType,
                                                             double fixedSpacing, double leadSpacing,
                                                             double tailSpacing);
    // Views of the fixed length along the axis, the first and last at the lead and tail spacing
    // from the edges of their common superview and the others' far edges spread in proportion
    // to it. Fewer than two views: nothing.
    static void mas_distributeViewsAlongAxisWithFixedItemLength(const Views& views, uint64_t axisType,
                                                                double fixedItemLength, double leadSpacing,
                                                                double tailSpacing);

    // The nearest view that contains every view; null without views or when two share none.
    static std::shared_ptr<platform::UIView> mas_commonSuperviewOfViews(const Views& views);
};

}  // namespace brindlecue
