#pragma once

#include <memory>

#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

class UIView;

// A rectangle of a view that constraints can name as an item. A record, like the constraints
// themselves: the guide knows its owning view and nothing solves it. A view's safe-area guide
// is made on first use and lives as long as the view (UIView::safeAreaLayoutGuide).
class UILayoutGuide : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UILayoutGuide)

    std::shared_ptr<UIView> owningView() const { return owningView_.lock(); }
    void setOwningView(const std::shared_ptr<UIView>& view) { owningView_ = view; }

private:
    std::weak_ptr<UIView> owningView_;
};

}  // namespace brindlecue::platform
