#pragma once

#include <string>
#include <string_view>

namespace brindlecue {

struct NSStringKJExt {
    // The MD5 digest of the text's bytes up to the first zero byte, as 32 upper-case hexadecimal
    // digits.
    static std::string md5(std::string_view text);
};

}  // namespace brindlecue
