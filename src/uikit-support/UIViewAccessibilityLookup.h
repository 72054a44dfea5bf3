#pragma once

#include <memory>
#include <string>

namespace brindlecue {

namespace platform {
class UIView;
}

// The library's public lookup of a host view by accessibility identifier. Main thread.
struct UIViewAccessibilityLookup {
    // The first view, in pre-order (a view before its subviews, subviews in order), of the key
    // window whose accessibility identifier equals the text exactly; none when no window is key
    // or the key window holds no such view. The key window is the last key one in the windows of
    // the connected window scenes, in scene order; other windows are not searched. Reads only.
    static std::shared_ptr<platform::UIView> findByAccessibilityIdentifier(const std::string& identifier);
};

}  // namespace brindlecue
