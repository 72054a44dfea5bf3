#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/uikit/NSObject.h"

namespace brindlecue {

namespace platform {
class UIView;
}

// One side of a constraint statement: a view, the item the platform constraint is made with (the
// view itself or one of its layout guides) and a layout attribute. Read-only after creation;
// view and item are held weakly.
class KJMASViewAttribute : public platform::NSObject {
public:
    KJMASViewAttribute(const std::shared_ptr<platform::UIView>& view, int64_t layoutAttribute);
    KJMASViewAttribute(const std::shared_ptr<platform::UIView>& view,
                       const std::shared_ptr<platform::NSObject>& item, int64_t layoutAttribute);
    void didConstruct() override;
    std::string className() const override { return "KJMASViewAttribute"; }

    std::shared_ptr<platform::UIView> view() const { return view_.lock(); }
    std::shared_ptr<platform::NSObject> item() const { return item_.lock(); }
    int64_t layoutAttribute() const { return layoutAttribute_; }
    // Width and height are the only size attributes.
    bool isSizeAttribute() const;

    // Equal to another attribute of the same view (identity) and attribute value; the item is not
    // compared. Any other object is compared by identity.
    bool isEqual(const std::shared_ptr<platform::NSObject>& other) const;
    // The view's hash rotated by 32 bits, exclusive-or the attribute value.
    size_t hash() const;

private:
    std::weak_ptr<platform::UIView> view_;
    std::weak_ptr<platform::NSObject> item_;
    int64_t layoutAttribute_;
};

}  // namespace brindlecue
