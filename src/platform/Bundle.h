#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue::platform {

// A bundle directory holding an Info.plist (XML or binary property list) and resources.
//
// The main bundle is the directory named by the environment variable BRINDLECUE_MAIN_BUNDLE, else
// "App.app" in the app container, which is created on first use with a default Info.plist
// (identifier "com.brindlecue.host") unless createMainBundle wrote one before.
class Bundle {
public:
    static constexpr const char* kIdentifierKey = "CFBundleIdentifier";
    static constexpr const char* kNameKey = "CFBundleName";
    static constexpr const char* kDisplayNameKey = "CFBundleDisplayName";
    static constexpr const char* kExecutableKey = "CFBundleExecutable";
    static constexpr const char* kShortVersionStringKey = "CFBundleShortVersionString";
    static constexpr const char* kVersionKey = "CFBundleVersion";

    static std::shared_ptr<Bundle> main();
    // The bundle at the directory, or null when there is no such directory.
    static std::shared_ptr<Bundle> atPath(const std::filesystem::path& dir);
    // The bundle "<name>.bundle" inside the main bundle, or null.
    static std::shared_ptr<Bundle> withName(const std::string& name);
    // Writes the Info.plist of the main bundle (as a binary property list) and returns the bundle,
    // which main() returns from then on. For tests and hosts.
    static std::shared_ptr<Bundle> createMainBundle(const Dictionary& info);

    const std::filesystem::path& path() const { return path_; }
    // Read once when the bundle is opened; an empty dictionary when Info.plist is missing or
    // unreadable.
    const Value& infoDictionary() const { return info_; }
    // Absent when the key is missing.
    Value objectForInfoDictionaryKey(const std::string& key) const { return info_[key]; }
    std::optional<std::string> bundleIdentifier() const;
    // The path of the file (or folder) "<name>.<type>" ("<name>" when the type is empty) at the
    // bundle's root, if it exists.
    std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                         const std::string& type) const;

private:
    explicit Bundle(std::filesystem::path dir);

    std::filesystem::path path_;
    Value info_;
};

}  // namespace brindlecue::platform
