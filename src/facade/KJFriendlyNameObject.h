#pragma once

#include <memory>
#include <optional>
#include <string>

namespace brindlecue {

// A display name the host gives one of its screens (a view-controller class name), with the nib
// names of the screen on phones and tablets. The facade keeps the host's list in the user defaults
// under "FRIENDLYNAME_KEY" (kjCustomActivityList) and reports pages under their display names.
class KJFriendlyNameObject {
public:
    static constexpr const char* kListKey = "FRIENDLYNAME_KEY";
    static constexpr const char* kNameKey = "FRIENDLYNAME_NAME";
    static constexpr const char* kVCKey = "FRIENDLYNAME_VC";
    static constexpr const char* kXibPhoneKey = "FRIENDLYNAME_XIB_IPHONE";
    static constexpr const char* kXibPadKey = "FRIENDLYNAME_XIB_IPAD";

    // The stored entry whose display name equals the name ignoring case, as a new record that
    // carries the name as given; none for an empty name or no match.
    static std::shared_ptr<KJFriendlyNameObject> findObjByFriendlyName(const std::string& name);
    // The display name registered for the view-controller name (exact match), else the name itself.
    static std::optional<std::string> tryFriendlyName(const std::optional<std::string>& vcName);

    std::string friendlyName;
    std::string vc;
    std::optional<std::string> xib_iphone;
    std::optional<std::string> xib_ipad;
};

}  // namespace brindlecue
