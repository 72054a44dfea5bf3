#pragma once

#include <string>
#include <string_view>

namespace brindlecue {

// The facade's text operations on the host's names (the NSString(Brindlecue) category).
struct NSStringBrindlecue {
    // A class name without the host app's module prefix: "<CFBundleName of the main bundle>."
    // is taken off the front. A name without a dot, a name whose first word is another one, and
    // any name while the main bundle has no name, come back unchanged.
    static std::string refinePageName(std::string_view name);
};

}  // namespace brindlecue
