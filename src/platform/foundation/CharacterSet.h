#pragma once

#include <bitset>
#include <string_view>

namespace brindlecue::platform {

// A set of ASCII characters, as the platform's character sets are used for percent-encoding:
// a character outside the set (and every byte outside ASCII) gets encoded.
class CharacterSet {
public:
    CharacterSet() = default;
    explicit CharacterSet(std::string_view characters) { insert(characters); }

    // The platform's sets of characters allowed unencoded in each part of a URL.
    static CharacterSet urlUserAllowed();
    static CharacterSet urlPasswordAllowed();
    static CharacterSet urlHostAllowed();
    static CharacterSet urlPathAllowed();
    static CharacterSet urlQueryAllowed();
    static CharacterSet urlFragmentAllowed();

    bool contains(char c) const {
        auto u = static_cast<unsigned char>(c);
        return u < 128 && bits_[u];
    }
    void insert(std::string_view characters);
    void remove(std::string_view characters);
    CharacterSet inserting(std::string_view characters) const;
    CharacterSet removing(std::string_view characters) const;

    bool operator==(const CharacterSet&) const = default;

private:
    std::bitset<128> bits_;
};

}  // namespace brindlecue::platform
