#pragma once

#include <string>
#include <string_view>

#include "platform/Value.h"

namespace brindlecue {

struct NSObjectKJExt {
    // The type name of a declared property from its attribute text (T@"NSString",&,N,V_title):
    // "FourSide", "int", "double", "NSTextAlignment", "bool", "id", a class name, or the empty
    // text when no "T" piece decides.
    static std::string getPropertyType(std::string_view attributes);
    // For each property the class declares itself (not its superclasses), in declaration order,
    // the property name mapped to its type name.
    static platform::Dictionary getPropertyNameTypes(std::string_view className);
};

}  // namespace brindlecue
