#include "config/BLQPreviewModeCheck.h"

#include <memory>

#include "foundation/BLQPublished.h"

namespace brindlecue {

namespace {

// The published check, in a type of its own so that its slot is no other function's.
struct Check {
    std::function<bool()> ask;
};

}  // namespace

void BLQPreviewModeCheck::set(std::function<bool()> check) {
    BLQPublished<const Check>::set(check ? std::make_shared<const Check>(Check{std::move(check)}) : nullptr);
}

bool BLQPreviewModeCheck::isInPreviewMode() {
    auto check = BLQPublished<const Check>::get();
    return check && check->ask();
}

}  // namespace brindlecue
