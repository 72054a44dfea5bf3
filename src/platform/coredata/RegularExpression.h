#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace brindlecue::platform {

// An ICU regular expression compiled once and matched against whole texts, as the platform's
// MATCHES operator does. Immutable after compile, so one instance may be shared across threads.
class RegularExpression {
public:
    // Null when the pattern is not a valid ICU expression.
    static std::shared_ptr<const RegularExpression> compile(std::string_view pattern);
    // The same through a small process-wide cache of recently used patterns. Thread-safe.
    static std::shared_ptr<const RegularExpression> cached(const std::string& pattern);
    ~RegularExpression();

    const std::string& pattern() const { return pattern_; }
    // True when the whole text (UTF-8) matches.
    bool matchesWhole(std::string_view text) const;

private:
    struct Impl;
    RegularExpression(std::string pattern, std::unique_ptr<Impl> impl);
    std::string pattern_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brindlecue::platform
