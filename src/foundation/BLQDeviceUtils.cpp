#include "foundation/BLQDeviceUtils.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

#include "foundation/KJLog.h"
#include "platform/Device.h"
#include "platform/SystemLog.h"
#include "platform/Value.h"

namespace brindlecue {

namespace fs = std::filesystem;
using platform::Bundle;
using platform::Value;

namespace {

constexpr const char* kResourceBundleName = "BrindlecueResources";

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

std::shared_ptr<Bundle> bundleHolding(const std::string& name, const std::string& type) {
    auto main = Bundle::main();
    if (main && main->pathForResource(name, type)) return main;
    auto resources = Bundle::withName(kResourceBundleName);
    if (resources && resources->pathForResource(name, type)) return resources;
    return nullptr;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The bundle's "Localizable.strings" (a compiled, property-list strings file) for the first
// preferred language it has, else for "en" or "Base".
Value localizableStrings(const Bundle& bundle) {
    std::vector<std::string> folders;
    for (const std::string& tag : platform::Device::preferredLanguages()) {
        folders.push_back(tag);
        std::string underscored = tag;
        for (char& c : underscored) {
            if (c == '-') c = '_';
        }
        folders.push_back(underscored);
        folders.push_back(tag.substr(0, tag.find('-')));
    }
    folders.push_back("en");
    folders.push_back("Base");
    for (const std::string& folder : folders) {
        fs::path file = bundle.path() / (folder + ".lproj") / "Localizable.strings";
        std::ifstream in(file, std::ios::binary);
        if (!in) continue;
        platform::Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto table = Value::fromPropertyList(bytes);
        if (table && table->isDictionary()) return *table;
    }
    return Value();
}

// As the platform looks a key up: the translation, else the default value when it is non-empty,
// else the key.
std::string localizedStringIn(const Bundle& bundle, const std::string& key, const std::string& defaultValue) {
    Value table = localizableStrings(bundle);
    if (const std::string* s = table[key].getString()) return *s;
    return defaultValue.empty() ? key : defaultValue;
}

int32_t readAppMode() {
    auto main = Bundle::main();
    auto path = main ? main->pathForResource("embedded", "mobileprovision") : std::nullopt;
    if (!path) return BLQAppModeAppStore;
    std::ifstream in(*path, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The profile is a signed envelope around an XML property list; read the bytes as Latin-1.
    std::string text;
    text.reserve(raw.size());
    for (unsigned char c : raw) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    size_t start = text.find("<plist");
    if (start == std::string::npos) return BLQAppModeAppStore;
    size_t end = text.find("</plist>", start);
    if (end == std::string::npos) return BLQAppModeAppStore;
    size_t declaration = text.rfind("<?xml", start);
    if (declaration != std::string::npos) start = declaration;
    std::string plist = text.substr(start, end - start) + "</plist>";
    auto profile = Value::fromPropertyList(platform::Data(plist.begin(), plist.end()));
    if (!profile || !profile->isDictionary()) return BLQAppModeAppStore;

    const Value& all = (*profile)["ProvisionsAllDevices"];
    if (all.isNumber() && all.boolValue()) return BLQAppModeEnterprise;
    const Value& devices = (*profile)["ProvisionedDevices"];
    const Value& debuggable = (*profile)["Entitlements"]["get-task-allow"];
    if (!devices.isArray() || devices.count() == 0 || !(*profile)["Entitlements"].isDictionary() ||
        !debuggable.isNumber()) {
        return BLQAppModeAppStore;
    }
    return debuggable.boolValue() ? BLQAppModeInternalDevelopment : BLQAppModeInternalAdhoc;
}

}  // namespace

std::shared_ptr<Bundle> blqFindBundleForResource(const std::string& name, const std::string& type,
                                                 bool mustExist) {
    auto bundle = bundleHolding(name, type);
    if (!bundle && equalsIgnoringCase(type, "png") && name.find('@') == std::string::npos) {
        for (const char* scale : {"@3x", "@2x"}) {
            if (endsWith(name, scale)) continue;
            bundle = bundleHolding(name + scale, type);
            if (bundle) break;
        }
    }
    if (!bundle && mustExist) {
        systemLog().log(platform::LogType::Fault, "Cannot find suitable bundle");
        std::fprintf(stderr, "Cannot find suitable bundle\n");
        std::abort();
    }
    return bundle;
}

std::string blqLocalizedString(const std::string& key, const std::string& defaultValue) {
    std::string fromMain;
    if (auto main = Bundle::main()) {
        fromMain = localizedStringIn(*main, key, "");
        if (!fromMain.empty() && fromMain != key) return fromMain;
    } else {
        fromMain = key;
    }
    auto resources = Bundle::withName(kResourceBundleName);
    std::string result = resources ? localizedStringIn(*resources, key, defaultValue) : fromMain;
    if (!defaultValue.empty()) return !result.empty() && result != key ? result : defaultValue;
    return result;
}

std::optional<std::string> blqGetMacAddress() {
    const char* interface = "en0";
    if (if_nametoindex(interface) == 0) {
        KJLog(1, "Error: %@", "if_nametoindex failure");
        return std::nullopt;
    }
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        KJLog(1, "Error: %@", "sysctl mgmtInfoBase failure");
        return std::nullopt;
    }
    std::optional<std::string> address;
    for (struct ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET ||
            std::string(a->ifa_name) != interface) {
            continue;
        }
        const auto* link = reinterpret_cast<const struct sockaddr_ll*>(a->ifa_addr);
        if (link->sll_halen < 6) continue;
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", link->sll_addr[0],
                      link->sll_addr[1], link->sll_addr[2], link->sll_addr[3], link->sll_addr[4],
                      link->sll_addr[5]);
        address = text;
        break;
    }
    freeifaddrs(list);
    if (!address) {
        KJLog(1, "Error: %@", "sysctl msgBuffer failure");
        return std::nullopt;
    }
    KJLog(1, "Mac Address: %@", *address);
    return address;
}

std::string blqGetCarrierName() {
    auto name = platform::Device::carrierName();
    return name && !name->empty() ? *name : "Other";
}

namespace {

std::mutex& appModeMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::optional<int32_t>& appModeSlot() {
    static auto* mode = new std::optional<int32_t>;
    return *mode;
}

}  // namespace

int32_t blqAppMode() {
    std::lock_guard lock(appModeMutex());
    if (!appModeSlot()) appModeSlot() = readAppMode();
    return *appModeSlot();
}

void blqForgetAppMode() {
    std::lock_guard lock(appModeMutex());
    appModeSlot().reset();
}

std::string blqAppModeString(int32_t mode) {
    static constexpr std::array<const char*, 6> kNames = {
        "Other", "Simulator", "Internal Development", "Internal Adhoc", "AppStore", "Enterprise"};
    if (mode < 0 || mode >= static_cast<int32_t>(kNames.size())) return "";
    return kNames[static_cast<size_t>(mode)];
}

bool blqIsUniversalLinking(const std::string& url) {
    if (url.empty()) return false;
    if (std::strtod(platform::Device::systemVersion().c_str(), nullptr) < 9.0) return false;
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    return equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https");
}

}  // namespace brindlecue
