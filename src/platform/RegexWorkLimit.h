#pragma once

#include <unicode/regex.h>

namespace brindlecue::platform {

// The work one search of a regular expression may take, in ICU's match steps (about a fifth of
// a millisecond each on a desktop processor: some 10 ms in all). Patterns reach the library from
// outside: campaign targets and the server's super-tag filter. One that backtracks without end,
// such as "(.*)+x" against a long text, would otherwise hold the searching thread (often the main
// thread) for seconds or hours; with the limit its search ends with U_REGEX_TIME_OUT and finds
// nothing. Ordinary searches of view texts and screen names take a small fraction of it.
inline constexpr int32_t kRegexWorkLimit = 50;

// Puts the limit on a matcher; it holds for every later search of the matcher, across resets.
inline void limitRegexWork(icu::RegexMatcher& matcher) {
    UErrorCode status = U_ZERO_ERROR;
    matcher.setTimeLimit(kRegexWorkLimit, status);
}

}  // namespace brindlecue::platform
