#include "foundation/NSStringKJExt.h"

#include <algorithm>
#include <cctype>

#include "platform/Crypto.h"

namespace brindlecue {

std::string NSStringKJExt::md5(std::string_view text) {
    std::string digest = platform::Crypto::md5Hex(text.substr(0, text.find('\0')));
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    return digest;
}

}  // namespace brindlecue
