#include "uikit-support/KJMASLayoutConstraint.h"

#include <mutex>

#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

std::shared_ptr<KJMASLayoutConstraint> KJMASLayoutConstraint::constraintWithItem(
    const std::shared_ptr<platform::NSObject>& firstItem, platform::NSLayoutAttribute firstAttribute,
    platform::NSLayoutRelation relation, const std::shared_ptr<platform::NSObject>& secondItem,
    platform::NSLayoutAttribute secondAttribute, double multiplier, double constant) {
    auto c = platform::make<KJMASLayoutConstraint>();
    c->initWithItem(firstItem, firstAttribute, relation, secondItem, secondAttribute, multiplier, constant);
    return c;
}

void KJMASLayoutConstraint::didConstruct() {
    NSLayoutConstraint::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::ClassRegistry::registerClass("KJMASLayoutConstraint", "NSLayoutConstraint");
    });
}

}  // namespace brindlecue
