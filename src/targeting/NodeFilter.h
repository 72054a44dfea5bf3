#pragma once

#include <string>
#include <vector>

namespace brindlecue {

struct KJTargetNode;

// The class-name lists that steer the hierarchy engine, and its on-screen filter. The class-level
// lists are made once and never change.
class NodeFilter {
public:
    // The classes whose nodes are never target candidates.
    static const std::vector<std::string>& unwantedWidgets();
    // The classes that are target candidates, 26 entries ("UISwitch" twice).
    static const std::vector<std::string>& supportWidgetsLUT();
    // The classes that name a step of an ancestor path: the same 26 entries.
    static const std::vector<std::string>& landmarkLUT();

    // Whether the node must be left out: it has no area, is exactly the screen's size, reaches
    // past any edge of the screen (by a single point already), cannot be seen, or is of an
    // unwanted class. A node without frame, type or view is kept.
    static bool mustFilterOut(const KJTargetNode& node);

    NodeFilter();

    // The classes a user can click (16 entries, "UISwitch" twice), and those that hold clickable
    // cells without being clickable themselves.
    std::vector<std::string> clickableElements;
    std::vector<std::string> ignoredClickableElements;
};

}  // namespace brindlecue
