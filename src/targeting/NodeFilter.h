#pragma once

#include <string>
#include <vector>

namespace brindlecue {

// The class-name lists that steer the hierarchy engine, made once and never changed.
class NodeFilter {
public:
    // The classes that are target candidates, 26 entries ("UISwitch" twice).
    static const std::vector<std::string>& supportWidgetsLUT();
    // The classes that name a step of an ancestor path: the same 26 entries.
    static const std::vector<std::string>& landmarkLUT();
};

}  // namespace brindlecue
