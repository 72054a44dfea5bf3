#pragma once

#include <string>

namespace brindlecue {

// The main bundle's translation of the key in the HTTP library's string table "KJMossgrove"
// (<language>.lproj/KJMossgrove.strings, for the preferred languages, then "en" and "Base"); the
// key itself when there is none.
std::string KJMossgroveLocalizedString(const std::string& key);
// The same lookup in any table of the main bundle ("Localizable" is the default table).
std::string KJMainBundleLocalizedString(const std::string& key, const std::string& table);

}  // namespace brindlecue
