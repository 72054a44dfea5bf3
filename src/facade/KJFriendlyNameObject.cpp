#include "facade/KJFriendlyNameObject.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "platform/UserDefaults.h"

namespace brindlecue {

namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return icu::UnicodeString::fromUTF8(a).caseCompare(icu::UnicodeString::fromUTF8(b),
                                                       U_FOLD_CASE_DEFAULT) == 0;
}

const std::string* text(const platform::Value& entry, const char* key) {
    return entry[key].getString();
}

}  // namespace

std::shared_ptr<KJFriendlyNameObject> KJFriendlyNameObject::findObjByFriendlyName(const std::string& name) {
    if (name.empty()) return nullptr;
    auto list = platform::UserDefaults::standard().array(kListKey);
    if (!list) return nullptr;
    for (const auto& entry : *list) {
        const std::string* stored = text(entry, kNameKey);
        if (!stored || !equalsIgnoringCase(*stored, name)) continue;
        auto found = std::make_shared<KJFriendlyNameObject>();
        found->friendlyName = name;
        if (const std::string* vc = text(entry, kVCKey)) found->vc = *vc;
        if (const std::string* xib = text(entry, kXibPhoneKey)) found->xib_iphone = *xib;
        if (const std::string* xib = text(entry, kXibPadKey)) found->xib_ipad = *xib;
        return found;
    }
    return nullptr;
}

std::optional<std::string> KJFriendlyNameObject::tryFriendlyName(const std::optional<std::string>& vcName) {
    if (!vcName) return std::nullopt;
    if (auto list = platform::UserDefaults::standard().array(kListKey)) {
        for (const auto& entry : *list) {
            const std::string* vc = text(entry, kVCKey);
            const std::string* name = text(entry, kNameKey);
            if (vc && name && *vc == *vcName) return *name;
        }
    }
    return vcName;
}

}  // namespace brindlecue
