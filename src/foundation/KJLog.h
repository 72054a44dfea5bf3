#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue {

// The older layer's log entry. It writes nothing: a line is dropped without even being formatted.
// Tests that want to see what the older layer reports install an observer, which then receives
// every line, formatted, with its level.
using KJLogObserver = std::function<void(int level, const std::string& line)>;

// Installs the observer (an empty one drops lines again) and returns the one it replaces.
KJLogObserver KJLogSetObserver(KJLogObserver observer);
bool KJLogHasObserver();
void KJLogEmit(int level, std::string_view format, std::initializer_list<std::string> arguments);

// Replaces each conversion ("%@", "%s", "%d", "%ld", "%f", ...) of the format with the next
// argument's text, in order; "%%" is a percent sign.
std::string KJLogFormat(std::string_view format, std::initializer_list<std::string> arguments);

namespace kjlog_detail {
inline std::string text(const std::string& s) {
    return s;
}
inline std::string text(std::string_view s) {
    return std::string(s);
}
inline std::string text(const char* s) {
    return s != nullptr ? s : "(null)";
}
inline std::string text(const platform::Value& v) {
    return v.isAbsent() ? "(null)" : v.stringValue();
}
inline std::string text(const platform::Error& e) {
    return e.description();
}
inline std::string text(bool b) {
    return b ? "1" : "0";
}
template <class T>
requires std::is_arithmetic_v<T> std::string text(T n) {
    return std::to_string(n);
}
}  // namespace kjlog_detail

template <class... Args>
void KJLog(int level, std::string_view format, const Args&... args) {
    if (!KJLogHasObserver()) return;
    KJLogEmit(level, format, {kjlog_detail::text(args)...});
}

}  // namespace brindlecue
