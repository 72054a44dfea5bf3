#include "uikit-support/KJMASObject.h"

#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASViewAttribute.h"

namespace brindlecue {

std::optional<double> KJMASObject::number() const {
    if (const auto* n = std::get_if<double>(&value_)) return *n;
    return std::nullopt;
}

const std::vector<KJMASObject>* KJMASObject::array() const {
    const auto* a = std::get_if<std::shared_ptr<const std::vector<KJMASObject>>>(&value_);
    return a ? a->get() : nullptr;
}

std::shared_ptr<platform::NSObject> KJMASObject::object() const {
    const auto* o = std::get_if<std::shared_ptr<platform::NSObject>>(&value_);
    return o ? *o : nullptr;
}

std::shared_ptr<platform::UIView> KJMASObject::view() const {
    return std::dynamic_pointer_cast<platform::UIView>(object());
}

std::shared_ptr<KJMASViewAttribute> KJMASObject::viewAttribute() const {
    return std::dynamic_pointer_cast<KJMASViewAttribute>(object());
}

}  // namespace brindlecue
