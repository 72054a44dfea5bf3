#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace brindlecue {

namespace platform {
class NSObject;
class NSLayoutConstraint;
}  // namespace platform

// Readable descriptions of layout constraints, for every constraint of the process once the
// language is in: items by class name and debugging key, attributes, relations and priorities in
// words, as in
//     <KJMASLayoutConstraint:button UIButton:0x... .left == UIView:0x... .left + 10>
// (without the blanks before the points). The tables are built once, on first use, from any
// thread.
struct NSLayoutConstraintKJMASDebugAdditions {
    static const std::map<int64_t, std::string>& layoutRelationDescriptionsByValue();
    // Built from 21 pairs; baseline and last baseline share 11, and "lastBaseline" is kept.
    static const std::map<int64_t, std::string>& layoutAttributeDescriptionsByValue();
    static const std::map<float, std::string>& layoutPriorityDescriptionsByValue();

    // "ClassName:key" for an object with a debugging key (a view, a constraint the language
    // made), else "ClassName:0x...".
    static std::string descriptionForObject(const platform::NSObject& object);
    static std::string description(const platform::NSLayoutConstraint& constraint);

    // Makes description() the description of every layout constraint. Done when the library is
    // loaded; calling it again changes nothing.
    static void install();
};

}  // namespace brindlecue
