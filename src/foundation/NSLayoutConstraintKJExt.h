#pragma once

#include <string>

namespace brindlecue {

namespace platform {
class NSLayoutConstraint;
}

struct NSLayoutConstraintKJExt {
    // "id: <identifier>, constant: <constant>" for debug output; a constraint without an
    // identifier prints "(null)" and the constant has six decimals ("id: (null), constant: 8.000000").
    static std::string blqLayoutDescription(const platform::NSLayoutConstraint& constraint);
};

}  // namespace brindlecue
