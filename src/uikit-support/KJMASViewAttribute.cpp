#include "uikit-support/KJMASViewAttribute.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASObject.h"

namespace brindlecue {

KJMASViewAttribute::KJMASViewAttribute(const std::shared_ptr<platform::UIView>& view, int64_t layoutAttribute)
    : KJMASViewAttribute(view, view, layoutAttribute) {}

KJMASViewAttribute::KJMASViewAttribute(const std::shared_ptr<platform::UIView>& view,
                                       const std::shared_ptr<platform::NSObject>& item,
                                       int64_t layoutAttribute)
    : view_(view), item_(item), layoutAttribute_(layoutAttribute) {}

void KJMASViewAttribute::didConstruct() {
    NSObject::didConstruct();
    static std::once_flag registered;
    std::call_once(registered,
                   [] { platform::ClassRegistry::registerClass("KJMASViewAttribute", "NSObject"); });
}

bool KJMASViewAttribute::isSizeAttribute() const {
    return layoutAttribute_ == KJMASLayoutAttributeWidth || layoutAttribute_ == KJMASLayoutAttributeHeight;
}

bool KJMASViewAttribute::isEqual(const std::shared_ptr<platform::NSObject>& other) const {
    auto attribute = std::dynamic_pointer_cast<KJMASViewAttribute>(other);
    if (!attribute || attribute->className() != className()) return other.get() == this;
    return attribute->view() == view() && attribute->layoutAttribute_ == layoutAttribute_;
}

size_t KJMASViewAttribute::hash() const {
    auto h = static_cast<uint64_t>(std::hash<const platform::UIView*>{}(view().get()));
    uint64_t rotated = (h << 32) | (h >> 32);
    return static_cast<size_t>(rotated ^ static_cast<uint64_t>(layoutAttribute_));
}

}  // namespace brindlecue
