#pragma once

#include <memory>
#include <string>

#include "platform/Value.h"
#include "platform/uikit/NSLayoutConstraint.h"

namespace brindlecue {

// The platform constraint the constraint language makes: it carries the statement's debugging
// key, which the constraints' descriptions show.
class KJMASLayoutConstraint : public platform::NSLayoutConstraint {
public:
    static std::shared_ptr<KJMASLayoutConstraint> constraintWithItem(
        const std::shared_ptr<platform::NSObject>& firstItem, platform::NSLayoutAttribute firstAttribute,
        platform::NSLayoutRelation relation, const std::shared_ptr<platform::NSObject>& secondItem,
        platform::NSLayoutAttribute secondAttribute, double multiplier, double constant);
    void didConstruct() override;
    std::string className() const override { return "KJMASLayoutConstraint"; }

    platform::Value mas_key;
};

}  // namespace brindlecue
