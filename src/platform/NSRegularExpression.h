#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"

namespace brindlecue::platform {

// A text prepared once for several searches: the platform's strings are UTF-16 underneath, and
// converting a line once serves every pattern matched against it.
class RegexText {
public:
    explicit RegexText(std::string_view utf8);
    const std::u16string& utf16() const { return utf16_; }

private:
    std::u16string utf16_;
};

// The platform's regular expressions (ICU syntax, on ICU): compiled from pattern text, with the
// case-insensitive option; the first match with its capture groups, and the number of matches.
// One expression may be used from several threads.
class NSRegularExpression {
public:
    enum Options : uint32_t { CaseInsensitive = 1u << 0 };

    // The text of every capture group of one match (0 is the whole match); a group that took
    // part in no match is none.
    struct Match {
        std::vector<std::optional<std::string>> groups;
        std::optional<std::string> group(size_t index) const {
            return index < groups.size() ? groups[index] : std::nullopt;
        }
    };

    // Null, and the error filled, when the pattern does not compile.
    static std::shared_ptr<const NSRegularExpression> regularExpressionWithPattern(
        std::string_view pattern, uint32_t options = 0, std::optional<Error>* error = nullptr);
    ~NSRegularExpression();

    std::optional<Match> firstMatchInString(const RegexText& text) const;
    std::optional<Match> firstMatchInString(std::string_view text) const;
    size_t numberOfMatchesInString(const RegexText& text) const;
    size_t numberOfMatchesInString(std::string_view text) const;

private:
    struct Impl;
    explicit NSRegularExpression(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace brindlecue::platform
