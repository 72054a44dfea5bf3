#include "platform/Bundle.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/AppContainer.h"
#include "platform/Error.h"
#include "platform/FileData.h"
#include "platform/SystemLog.h"

namespace brindlecue::platform {

namespace fs = std::filesystem;

namespace {

const SystemLog& platformLog() {
    static const SystemLog log("com.brindlecue", "Platform");
    return log;
}

bool mainBundleFromEnvironment(fs::path* out) {
    const char* env = std::getenv("BRINDLECUE_MAIN_BUNDLE");
    if (env == nullptr || *env == '\0') return false;
    *out = env;
    return true;
}

fs::path mainBundlePath() {
    fs::path p;
    if (mainBundleFromEnvironment(&p)) return p;
    return AppContainer::root() / "App.app";
}

bool writeInfoPlist(const fs::path& dir, const Dictionary& info) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    Error error;
    // Binary, as a built app's bundle holds it.
    auto bytes = Value(info).toPropertyList(PropertyListFormat::Binary, &error);
    if (!bytes) {
        platformLog().log(LogType::Error,
                          "Cannot encode Info.plist for " + dir.string() + ": " + error.description());
        return false;
    }
    std::ofstream out(dir / "Info.plist", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        platformLog().log(LogType::Error, "Cannot write " + (dir / "Info.plist").string());
        return false;
    }
    return true;
}

Dictionary defaultInfo() {
    return Dictionary{
        {Bundle::kIdentifierKey, "com.brindlecue.host"}, {Bundle::kNameKey, "BrindlecueHost"},
        {Bundle::kDisplayNameKey, "Brindlecue Host"},    {Bundle::kExecutableKey, "BrindlecueHost"},
        {Bundle::kShortVersionStringKey, "1.0.0"},       {Bundle::kVersionKey, "1"},
    };
}

std::mutex& mainMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<Bundle>& cachedMain() {
    static auto* bundle = new std::shared_ptr<Bundle>();  // leaked: workers may read it during exit
    return *bundle;
}

}  // namespace

Bundle::Bundle(fs::path dir) : path_(std::move(dir)), info_(Value::dictionary()) {
    fs::path plist = path_ / "Info.plist";
    auto bytes = contentsOfFile(plist);
    if (!bytes) return;
    Error error;
    auto info = Value::fromPropertyList(*bytes, &error);
    if (!info || !info->isDictionary()) {
        platformLog().log(LogType::Error, "Ignoring unreadable " + plist.string() +
                                              (info ? ": not a dictionary" : ": " + error.description()));
        return;
    }
    info_ = std::move(*info);
}

std::shared_ptr<Bundle> Bundle::main() {
    fs::path dir = mainBundlePath();
    std::lock_guard lock(mainMutex());
    auto& cached = cachedMain();
    // Keyed on the path, so that a host or test that moves the container gets the new bundle.
    if (cached && cached->path_ == dir) return cached;
    fs::path fromEnv;
    std::error_code ec;
    if (!mainBundleFromEnvironment(&fromEnv) && !fs::exists(dir / "Info.plist", ec)) {
        writeInfoPlist(dir, defaultInfo());
    }
    cached = std::shared_ptr<Bundle>(new Bundle(dir));
    return cached;
}

std::shared_ptr<Bundle> Bundle::atPath(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return nullptr;
    return std::shared_ptr<Bundle>(new Bundle(dir));
}

std::shared_ptr<Bundle> Bundle::withName(const std::string& name) {
    auto dir = main()->pathForResource(name, "bundle");
    return dir ? atPath(*dir) : nullptr;
}

std::shared_ptr<Bundle> Bundle::createMainBundle(const Dictionary& info) {
    fs::path dir = mainBundlePath();
    std::lock_guard lock(mainMutex());
    writeInfoPlist(dir, info);
    cachedMain() = std::shared_ptr<Bundle>(new Bundle(dir));
    return cachedMain();
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    if (const std::string* s = info_[kIdentifierKey].getString()) return *s;
    return std::nullopt;
}

std::optional<fs::path> Bundle::pathForResource(const std::string& name, const std::string& type) const {
    if (name.empty()) return std::nullopt;
    fs::path file = path_ / (type.empty() ? name : name + "." + type);
    std::error_code ec;
    if (!fs::exists(file, ec)) return std::nullopt;
    return file;
}

}  // namespace brindlecue::platform
