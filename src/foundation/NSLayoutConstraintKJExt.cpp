#include "foundation/NSLayoutConstraintKJExt.h"

#include <cstdio>

#include "platform/uikit/NSLayoutConstraint.h"

namespace brindlecue {

std::string NSLayoutConstraintKJExt::blqLayoutDescription(const platform::NSLayoutConstraint& constraint) {
    const std::string& identifier = constraint.identifier();
    // "%f" writes every integer digit, so a huge constant needs more than a small buffer.
    int length = std::snprintf(nullptr, 0, "%f", constraint.constant());
    std::string constant(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::snprintf(constant.data(), constant.size() + 1, "%f", constraint.constant());
    return "id: " + (identifier.empty() ? std::string("(null)") : identifier) + ", constant: " + constant;
}

}  // namespace brindlecue
