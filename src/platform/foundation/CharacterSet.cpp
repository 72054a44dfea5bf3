#include "platform/foundation/CharacterSet.h"

namespace brindlecue::platform {

namespace {

constexpr std::string_view kUnreserved =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
constexpr std::string_view kSubDelims = "!$&'()*+,;=";

CharacterSet unreservedPlus(std::string_view extra) {
    CharacterSet set(kUnreserved);
    set.insert(extra);
    return set;
}

}  // namespace

CharacterSet CharacterSet::urlUserAllowed() {
    static const CharacterSet set = unreservedPlus(kSubDelims);
    return set;
}

CharacterSet CharacterSet::urlPasswordAllowed() {
    static const CharacterSet set = unreservedPlus(kSubDelims);
    return set;
}

CharacterSet CharacterSet::urlHostAllowed() {
    static const CharacterSet set = unreservedPlus(std::string(kSubDelims) + ":[]");
    return set;
}

CharacterSet CharacterSet::urlPathAllowed() {
    // The platform leaves ";" out of the path set (it once separated path parameters).
    static const CharacterSet set = unreservedPlus(std::string(kSubDelims) + ":@/").removing(";");
    return set;
}

CharacterSet CharacterSet::urlQueryAllowed() {
    static const CharacterSet set = unreservedPlus(std::string(kSubDelims) + ":@/?");
    return set;
}

CharacterSet CharacterSet::urlFragmentAllowed() {
    static const CharacterSet set = unreservedPlus(std::string(kSubDelims) + ":@/?");
    return set;
}

void CharacterSet::insert(std::string_view characters) {
    for (char c : characters) {
        auto u = static_cast<unsigned char>(c);
        if (u < 128) bits_.set(u);
    }
}

void CharacterSet::remove(std::string_view characters) {
    for (char c : characters) {
        auto u = static_cast<unsigned char>(c);
        if (u < 128) bits_.reset(u);
    }
}

CharacterSet CharacterSet::inserting(std::string_view characters) const {
    CharacterSet copy = *this;
    copy.insert(characters);
    return copy;
}

CharacterSet CharacterSet::removing(std::string_view characters) const {
    CharacterSet copy = *this;
    copy.remove(characters);
    return copy;
}

}  // namespace brindlecue::platform
