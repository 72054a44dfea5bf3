#include "platform/Value.h"

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <bit>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <unordered_map>

#include "platform/BinaryPropertyList.h"
#include "platform/Error.h"
#include "platform/Utf8.h"

namespace brindlecue::platform {

namespace {

constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
constexpr int64_t kReadCorruptError = 3840;
constexpr int64_t kPropertyListWriteInvalidError = 3851;
constexpr const char* kUnreadable = "The data couldn’t be read because it isn’t in the correct format.";

void fail(Error* error, int64_t code, const std::string& reason) {
    if (error != nullptr) *error = Error::withDescription(kCocoaErrorDomain, code, reason);
}

const Value& absentValue() {
    static const Value absent;
    return absent;
}

// ---- Lenient text reading --------------------------------------------------------------------

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view skipSpace(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    return s.substr(i);
}

int64_t integerFromText(std::string_view s) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Accumulate as a negative number so that the minimum value is reachable; saturate on overflow.
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t acc = 0;
    bool overflow = false;
    for (char c : s) {
        if (!isDigit(c)) break;
        int digit = c - '0';
        if (overflow) continue;
        if (acc < (kMin + digit) / 10) {
            overflow = true;
            continue;
        }
        acc = acc * 10 - digit;
    }
    if (negative) return overflow ? kMin : acc;
    if (overflow || acc == kMin) return std::numeric_limits<int64_t>::max();
    return -acc;
}

double doubleFromText(std::string_view s) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Only decimal notation; words such as "inf" or "nan" are not numbers here.
    if (s.empty() || !(isDigit(s[0]) || (s[0] == '.' && s.size() > 1 && isDigit(s[1])))) return 0;
    double d = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        std::string_view used(s.data(), static_cast<size_t>(ptr - s.data()));
        size_t e = used.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < used.size() && used[e + 1] == '-';
        d = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        return 0;
    }
    return negative ? -d : d;
}

bool boolFromText(std::string_view s) {
    s = skipSpace(s);
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    while (!s.empty() && s[0] == '0') s.remove_prefix(1);
    if (s.empty()) return false;
    char c = s[0];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

int64_t integerFromReal(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (d < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

// ---- Description -----------------------------------------------------------------------------

std::string realText(double d) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, ptr) : std::to_string(d);
}

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '.' || c == '$' || c == '/' || c == ':';
        if (!plain) return true;
    }
    return false;
}

void appendQuotable(std::string& out, const std::string& s) {
    if (!needsQuotes(s)) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

std::string dataDescription(const Data& data) {
    static const char* kHex = "0123456789abcdef";
    auto hex = [&](std::string& out, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            out += kHex[data[i] >> 4];
            out += kHex[data[i] & 0xF];
        }
    };
    std::string out = "{length = " + std::to_string(data.size()) + ", bytes = 0x";
    if (data.size() > 24) {
        hex(out, 0, 8);
        out += " ... ";
        hex(out, data.size() - 8, data.size());
    } else {
        hex(out, 0, data.size());
    }
    out += '}';
    return out;
}

void indent(std::string& out, int level) {
    out.append(static_cast<size_t>(level) * 4, ' ');
}

// Containers follow the platform's layout: a nested container starts with the indentation of its
// own level even where it follows "key = ", and its entries sit one level deeper.
void describe(const Value& v, int level, bool nested, std::string& out) {
    switch (v.type()) {
        case Value::Type::Absent:
            out += "(null)";
            break;
        case Value::Type::Null:
            out += "<null>";
            break;
        case Value::Type::Bool:
            out += *v.getBool() ? "1" : "0";
            break;
        case Value::Type::Integer:
            out += std::to_string(*v.getInteger());
            break;
        case Value::Type::Real:
            out += realText(*v.getNumber());
            break;
        case Value::Type::String:
            if (nested) {
                appendQuotable(out, *v.getString());
            } else {
                out += *v.getString();
            }
            break;
        case Value::Type::Date:
            out += v.getDate()->description();
            break;
        case Value::Type::Data:
            out += dataDescription(*v.getData());
            break;
        case Value::Type::Array: {
            const Array& items = *v.getArray();
            indent(out, level);
            out += "(\n";
            for (size_t i = 0; i < items.size(); ++i) {
                indent(out, level + 1);
                describe(items[i], level + 1, true, out);
                out += i + 1 < items.size() ? ",\n" : "\n";
            }
            indent(out, level);
            out += ')';
            break;
        }
        case Value::Type::Dictionary: {
            indent(out, level);
            out += "{\n";
            for (const auto& [key, value] : *v.getDictionary()) {
                indent(out, level + 1);
                appendQuotable(out, key);
                out += " = ";
                describe(value, level + 1, true, out);
                out += ";\n";
            }
            indent(out, level);
            out += '}';
            break;
        }
    }
}

// ---- JSON ------------------------------------------------------------------------------------

using Json = nlohmann::ordered_json;

// Deeper documents are refused: values are released recursively, so a hostile answer could
// otherwise exhaust the stack.
constexpr size_t kMaxJSONDepth = 512;

// Builds values straight from the parser's events, without a JSON tree in between. Containers
// under construction wait on a stack; a key seen twice in an object keeps its first place and
// its last value. Every value is made once, in its place on the stack: a container's members
// are moved once more, into the container, when it closes.
class ValueBuilder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    bool null() { return add(Null{}); }
    bool boolean(bool b) { return add(b); }
    bool number_integer(number_integer_t i) { return add(static_cast<int64_t>(i)); }
    bool number_unsigned(number_unsigned_t u) {
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return add(static_cast<double>(u));
        return add(static_cast<int64_t>(u));
    }
    bool number_float(number_float_t d, const string_t&) { return add(d); }
    bool string(string_t& s) { return add(std::move(s)); }
    // A text the fast reader found in the document, made into its value where it lies.
    bool text(std::string_view s) { return add(std::string(s)); }
    bool binary(binary_t&) { return add(Value()); }
    bool start_object(std::size_t) { return open(true); }
    bool key(string_t& k) {
        Frame& frame = stack_[depth_ - 1];
        frame.key = std::move(k);
        frame.keyInText = false;
        return true;
    }
    // A key the fast reader found without escapes: it stays in the document (which outlives the
    // building) until its member is made, however deep the member's value goes.
    bool keyInText(std::string_view k) {
        Frame& frame = stack_[depth_ - 1];
        frame.keyStart = k.data();
        frame.keyLength = k.size();
        frame.keyInText = true;
        return true;
    }
    bool end_object() {
        // The members wait at the end of one list shared by every open object, so that each
        // object allocates its entries once, at their number.
        const auto begin = entries_.begin() + static_cast<std::ptrdiff_t>(stack_[depth_ - 1].begin);
        std::vector<Dictionary::Entry> members(std::make_move_iterator(begin), std::make_move_iterator(entries_.end()));
        entries_.erase(begin, entries_.end());
        close();
        return add(Dictionary(std::move(members)));
    }
    bool start_array(std::size_t) { return open(false); }
    bool end_array() {
        const auto begin = items_.begin() + static_cast<std::ptrdiff_t>(stack_[depth_ - 1].begin);
        Array elements(std::make_move_iterator(begin), std::make_move_iterator(items_.end()));
        items_.erase(begin, items_.end());
        close();
        return add(std::move(elements));
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
        error = ex.what();
        return false;
    }

    Value result;
    std::string error;

private:
    struct Frame {
        bool object = false;
        bool keyInText = false;  // the pending key is keyStart/keyLength rather than key
        size_t begin = 0;        // of its members in entries_, or of its elements in items_
        const char* keyStart = nullptr;
        size_t keyLength = 0;
        std::string key;
    };

    bool open(bool object) {
        if (depth_ >= kMaxJSONDepth) {
            error = "nesting deeper than " + std::to_string(kMaxJSONDepth) + " levels";
            return false;
        }
        // Frames are reused as the depth comes and goes, keeping their memory.
        if (depth_ == stack_.size()) stack_.emplace_back();
        Frame& frame = stack_[depth_++];
        frame.object = object;
        frame.begin = object ? entries_.size() : items_.size();
        return true;
    }
    void close() { --depth_; }

    // Makes the value from what it is made of, in its place: the result, the next element of the
    // open array, or the open object's member under the pending key.
    template <typename T>
    bool add(T&& made) {
        if (depth_ == 0) {
            result = Value(std::forward<T>(made));
            return true;
        }
        Frame& frame = stack_[depth_ - 1];
        if (!frame.object) {
            items_.emplace_back(std::forward<T>(made));
        } else if (frame.keyInText) {
            entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(frame.keyStart, frame.keyLength),
                                  std::forward_as_tuple(std::forward<T>(made)));
        } else {
            entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(frame.key)),
                                  std::forward_as_tuple(std::forward<T>(made)));
        }
        return true;
    }

    std::vector<Frame> stack_;
    size_t depth_ = 0;
    std::vector<Dictionary::Entry> entries_;
    Array items_;
};

// The length of the well-formed UTF-8 sequence at the byte (RFC 3629, as JSON wants it), or 0.
size_t utf8Sequence(const unsigned char* u, size_t left) {
    auto in = [&](size_t i, unsigned char low, unsigned char high) { return i < left && u[i] >= low && u[i] <= high; };
    const unsigned char b = u[0];
    if (b >= 0xC2 && b <= 0xDF) return in(1, 0x80, 0xBF) ? 2 : 0;
    if (b == 0xE0) return in(1, 0xA0, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
    if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
    if (b == 0xED) return in(1, 0x80, 0x9F) && in(2, 0x80, 0xBF) ? 3 : 0;
    if (b == 0xF0) return in(1, 0x90, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    if (b >= 0xF1 && b <= 0xF3) return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    if (b == 0xF4) return in(1, 0x80, 0x8F) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    return 0;
}

// Reads a JSON text and hands its events to a ValueBuilder, as the general parser does, several
// times faster. It reads only what it is sure of: at anything else (any fault in the text, a byte
// order mark, an integer beyond 64 bits, a real that is not a normal double, nesting the builder
// refuses) it gives up, and the text is read again by the general parser, which gives the same
// values, or the error.
class FastJSONReader {
public:
    FastJSONReader(std::string_view text, ValueBuilder& builder)
        : p_(text.data()), end_(text.data() + text.size()), builder_(builder) {}

    bool read() {
        if (p_ != end_ && static_cast<unsigned char>(*p_) == 0xEF) return false;
        std::vector<bool> objects;  // the open containers, innermost last: object or array
        skipSpace();
        for (;;) {
            // A value.
            if (p_ == end_) return false;
            switch (*p_) {
                case '{':
                    ++p_;
                    if (!builder_.start_object(kUnknownSize)) return false;
                    skipSpace();
                    if (p_ != end_ && *p_ == '}') {
                        ++p_;
                        if (!builder_.end_object()) return false;
                        break;
                    }
                    objects.push_back(true);
                    if (!member()) return false;
                    continue;
                case '[':
                    ++p_;
                    if (!builder_.start_array(kUnknownSize)) return false;
                    skipSpace();
                    if (p_ != end_ && *p_ == ']') {
                        ++p_;
                        if (!builder_.end_array()) return false;
                        break;
                    }
                    objects.push_back(false);
                    continue;
                case '"': {
                    std::string_view text;
                    if (!string(text) || !builder_.text(text)) return false;
                    break;
                }
                case 't':
                    if (!literal("true") || !builder_.boolean(true)) return false;
                    break;
                case 'f':
                    if (!literal("false") || !builder_.boolean(false)) return false;
                    break;
                case 'n':
                    if (!literal("null") || !builder_.null()) return false;
                    break;
                default:
                    if (!number()) return false;
                    break;
            }
            // After a value: the next one, or the ends of the containers it closes.
            for (;;) {
                skipSpace();
                if (objects.empty()) return p_ == end_;
                if (p_ == end_) return false;
                const char c = *p_++;
                if (c == ',') {
                    skipSpace();
                    if (objects.back() && !member()) return false;
                    break;
                }
                if (c != (objects.back() ? '}' : ']')) return false;
                if (!(objects.back() ? builder_.end_object() : builder_.end_array())) return false;
                objects.pop_back();
            }
        }
    }

private:
    static constexpr std::size_t kUnknownSize = static_cast<std::size_t>(-1);

    void skipSpace() {
        for (;;) {
            // Runs of spaces (indentation) eight at a time.
            while (end_ - p_ >= 8 && word(p_) == kSpaces) p_ += 8;
            if (p_ == end_ || !(*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) return;
            ++p_;
        }
    }

    static constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    static constexpr uint64_t kSpaces = 0x2020202020202020ull;
    static uint64_t word(const char* p) {
        uint64_t w = 0;
        std::memcpy(&w, p, 8);
        return w;
    }
    // The high bit of every byte of the word that ends plain text: a quote, a backslash, a
    // control character or a byte beyond ASCII. Exact for the lowest such byte (a borrow can only
    // mark bytes above one that is marked anyway).
    static uint64_t textEnds(uint64_t w) {
        const uint64_t quote = w ^ (kOnes * '"'), backslash = w ^ (kOnes * '\\');
        return (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((w - kOnes * 0x20) & ~w) | w) &
               kHigh;
    }

    // A key and its colon, up to the value.
    bool member() {
        std::string_view key;
        if (p_ == end_ || *p_ != '"' || !string(key)) return false;
        if (key.data() == escaped_.data() ? !builder_.key(escaped_) : !builder_.keyInText(key)) return false;
        skipSpace();
        if (p_ == end_ || *p_ != ':') return false;
        ++p_;
        skipSpace();
        return true;
    }

    bool literal(std::string_view word) {
        if (static_cast<size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            return false;
        p_ += word.size();
        return true;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // The four hexadecimal digits of an escaped UTF-16 unit.
    bool unit(char32_t& out) {
        if (end_ - p_ < 4) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(p_[i]);
            if (digit < 0) return false;
            out = out << 4 | static_cast<char32_t>(digit);
        }
        p_ += 4;
        return true;
    }

    size_t sequence() const {
        return utf8Sequence(reinterpret_cast<const unsigned char*>(p_), static_cast<size_t>(end_ - p_));
    }

    // A text from its opening quote: plain ASCII is taken in one piece. A text without escapes
    // is given as it stands in the document; one with escapes as written out in escaped_, which
    // the next text overwrites.
    bool string(std::string_view& out) {
        const char* start = ++p_;
        while (end_ - p_ >= 8) {
            if (const uint64_t ends = textEnds(word(p_))) {
                p_ += std::countr_zero(ends) >> 3;
                break;
            }
            p_ += 8;
        }
        while (p_ != end_) {
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                out = std::string_view(start, static_cast<size_t>(p_++ - start));
                return true;
            }
            if (c == '\\' || c < 0x20 || c >= 0x80) break;
            ++p_;
        }
        escaped_.assign(start, p_);
        while (p_ != end_) {
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                out = escaped_;
                return true;
            }
            if (c < 0x20) return false;
            if (c >= 0x80) {
                const size_t n = sequence();
                if (n == 0) return false;
                escaped_.append(p_, n);
                p_ += n;
                continue;
            }
            if (c != '\\') {
                escaped_.push_back(static_cast<char>(c));
                ++p_;
                continue;
            }
            if (++p_ == end_) return false;
            switch (*p_++) {
                case '"': escaped_.push_back('"'); break;
                case '\\': escaped_.push_back('\\'); break;
                case '/': escaped_.push_back('/'); break;
                case 'b': escaped_.push_back('\b'); break;
                case 'f': escaped_.push_back('\f'); break;
                case 'n': escaped_.push_back('\n'); break;
                case 'r': escaped_.push_back('\r'); break;
                case 't': escaped_.push_back('\t'); break;
                case 'u': {
                    char32_t code = 0;
                    if (!unit(code) || (code >= 0xDC00 && code <= 0xDFFF)) return false;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        char32_t low = 0;
                        if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return false;
                        p_ += 2;
                        if (!unit(low) || low < 0xDC00 || low > 0xDFFF) return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(escaped_, code);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }

    bool digits() {
        const char* start = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        return p_ != start;
    }

    bool number() {
        const char* start = p_;
        const bool negative = *p_ == '-';
        if (negative) ++p_;
        if (p_ == end_) return false;
        if (*p_ == '0') {
            ++p_;
        } else if (*p_ < '1' || *p_ > '9' || !digits()) {
            return false;
        }
        bool real = false;
        if (p_ != end_ && *p_ == '.') {
            ++p_;
            if (!digits()) return false;
            real = true;
        }
        const char* mantissaEnd = p_;
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (!digits()) return false;
            real = true;
        }
        if (!real) {
            if (negative) {
                int64_t value = 0;
                auto [end, ec] = std::from_chars(start, p_, value);
                return ec == std::errc() && end == p_ && builder_.number_integer(value);
            }
            uint64_t value = 0;
            auto [end, ec] = std::from_chars(start, p_, value);
            return ec == std::errc() && end == p_ && builder_.number_unsigned(value);
        }
        double value = 0;
        auto [end, ec] = std::from_chars(start, p_, value);
        if (ec != std::errc() || end != p_) return false;
        // Zero only when every digit is: a real too small for a double is the general parser's.
        if (!std::isnormal(value) &&
            (value != 0 || std::any_of(start, mantissaEnd, [](char c) { return c >= '1' && c <= '9'; })))
            return false;
        static const std::string kNoText;
        return builder_.number_float(value, kNoText);
    }

    const char* p_;
    const char* const end_;
    ValueBuilder& builder_;
    std::string escaped_;
};

// Writes a value as the compact text nlohmann's dump gives it (the same escapes, its shortest
// form of a real), straight from the value without a JSON tree. Gives up (false) at anything the
// dump would refuse or that it does not write itself: a kind JSON cannot hold, a real that is not
// finite, text that is not UTF-8; the general path then gives its error.
class CompactJSONWriter {
public:
    // With an indent, as nlohmann's dump with that indent writes: each element on a line of its
    // own, indented by its depth, a space after a key's colon, empty containers as "[]" and "{}".
    explicit CompactJSONWriter(std::string& out, int indent = -1) : out_(out), indent_(indent) {}

    bool write(const Value& v) {
        switch (v.type()) {
            case Value::Type::Null:
                out_ += "null";
                return true;
            case Value::Type::Bool:
                out_ += *v.getBool() ? "true" : "false";
                return true;
            case Value::Type::Integer: {
                char digits[24];
                auto [end, ec] = std::to_chars(digits, digits + sizeof digits, *v.getInteger());
                out_.append(digits, end);
                return ec == std::errc();
            }
            case Value::Type::Real: {
                const double d = *v.getNumber();
                if (!std::isfinite(d)) return false;
                std::array<char, 64> digits{};
                char* end = nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), d);
                out_.append(digits.data(), end);
                return true;
            }
            case Value::Type::String:
                return text(*v.getString());
            case Value::Type::Array: {
                const Array& items = *v.getArray();
                out_ += '[';
                if (items.empty()) {
                    out_ += ']';
                    return true;
                }
                ++depth_;
                bool first = true;
                for (const Value& e : items) {
                    if (!first) out_ += ',';
                    first = false;
                    newLine();
                    if (!write(e)) return false;
                }
                --depth_;
                newLine();
                out_ += ']';
                return true;
            }
            case Value::Type::Dictionary: {
                const Dictionary& entries = *v.getDictionary();
                out_ += '{';
                if (entries.empty()) {
                    out_ += '}';
                    return true;
                }
                ++depth_;
                bool first = true;
                for (const auto& [key, e] : entries) {
                    if (!first) out_ += ',';
                    first = false;
                    newLine();
                    if (!text(key)) return false;
                    out_ += indent_ < 0 ? ":" : ": ";
                    if (!write(e)) return false;
                }
                --depth_;
                newLine();
                out_ += '}';
                return true;
            }
            default:
                return false;
        }
    }

private:
    void newLine() {
        if (indent_ < 0) return;
        out_ += '\n';
        out_.append(static_cast<size_t>(indent_) * depth_, ' ');
    }

    bool text(const std::string& s) {
        static constexpr char kHex[] = "0123456789abcdef";
        const auto* u = reinterpret_cast<const unsigned char*>(s.data());
        const size_t n = s.size();
        out_ += '"';
        size_t plain = 0;  // where the bytes not yet copied begin
        for (size_t i = 0; i < n;) {
            const unsigned char c = u[i];
            if (c >= 0x80) {
                const size_t length = utf8Sequence(u + i, n - i);
                if (length == 0) return false;
                i += length;
                continue;
            }
            if (c >= 0x20 && c != '"' && c != '\\') {
                ++i;
                continue;
            }
            out_.append(s, plain, i - plain);
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '\b': out_ += "\\b"; break;
                case '\t': out_ += "\\t"; break;
                case '\n': out_ += "\\n"; break;
                case '\f': out_ += "\\f"; break;
                case '\r': out_ += "\\r"; break;
                default: {
                    const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                    out_.append(escape, sizeof escape);
                    break;
                }
            }
            plain = ++i;
        }
        out_.append(s, plain, n - plain);
        out_ += '"';
        return true;
    }

    std::string& out_;
    const int indent_;
    size_t depth_ = 0;
};

// Builds the JSON tree; on a value JSON cannot hold, leaves a reason and returns false.
bool toJson(const Value& v, Json& out, std::string& reason) {
    switch (v.type()) {
        case Value::Type::Null:
            out = nullptr;
            return true;
        case Value::Type::Bool:
            out = *v.getBool();
            return true;
        case Value::Type::Integer:
            out = *v.getInteger();
            return true;
        case Value::Type::Real: {
            double d = *v.getNumber();
            if (!std::isfinite(d)) {
                reason = std::string("Invalid number value (") + (std::isnan(d) ? "NaN" : "infinite") +
                         ") in JSON write";
                return false;
            }
            out = d;
            return true;
        }
        case Value::Type::String:
            out = *v.getString();
            return true;
        case Value::Type::Array: {
            out = Json::array();
            for (const Value& e : *v.getArray()) {
                Json item;
                if (!toJson(e, item, reason)) return false;
                out.push_back(std::move(item));
            }
            return true;
        }
        case Value::Type::Dictionary: {
            out = Json::object();
            for (const auto& [key, e] : *v.getDictionary()) {
                Json item;
                if (!toJson(e, item, reason)) return false;
                out[key] = std::move(item);
            }
            return true;
        }
        case Value::Type::Absent:
            reason = "Invalid type in JSON write (missing value)";
            return false;
        case Value::Type::Date:
            reason = "Invalid type in JSON write (date)";
            return false;
        case Value::Type::Data:
            reason = "Invalid type in JSON write (data)";
            return false;
    }
    return false;
}

// ---- Property lists --------------------------------------------------------------------------

struct PlistDeleter {
    void operator()(void* p) const {
        if (p != nullptr) plist_free(p);
    }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::optional<Value> fromPlist(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return Value(b != 0);
        }
        case PLIST_UINT: {
            // Stored as the two's complement bit pattern: negative integers come back intact.
            uint64_t u = 0;
            plist_get_uint_val(node, &u);
            return Value(static_cast<int64_t>(u));
        }
        case PLIST_UID: {
            uint64_t u = 0;
            plist_get_uid_val(node, &u);
            return Value(static_cast<int64_t>(u));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return Value(d);
        }
        case PLIST_STRING:
        case PLIST_KEY: {
            uint64_t length = 0;
            const char* s = plist_get_string_ptr(node, &length);
            return Value(std::string(s != nullptr ? s : "", s != nullptr ? length : 0));
        }
        case PLIST_DATE: {
            // The library hands the time back as a whole part and a microsecond magnitude that
            // takes the sign of the whole part.
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            if (sec < 0 && usec > 0) usec = -usec;
            return Value(Date::fromTimeIntervalSinceReferenceDate(sec + usec / 1e6));
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            if (bytes == nullptr) return Value(Data{});
            return Value(Data(reinterpret_cast<const uint8_t*>(bytes),
                              reinterpret_cast<const uint8_t*>(bytes) + length));
        }
        case PLIST_ARRAY: {
            Array items;
            uint32_t n = plist_array_get_size(node);
            items.reserve(n);
            for (uint32_t i = 0; i < n; ++i) {
                auto item = fromPlist(plist_array_get_item(node, i));
                if (!item) return std::nullopt;
                items.push_back(std::move(*item));
            }
            return Value(std::move(items));
        }
        case PLIST_DICT: {
            Dictionary dict;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            std::optional<Value> result;
            while (true) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, it, &key, &item);
                if (item == nullptr) {
                    std::free(key);
                    result = Value(std::move(dict));
                    break;
                }
                std::string k = key != nullptr ? key : "";
                std::free(key);
                auto value = fromPlist(item);
                if (!value) break;
                dict.set(std::move(k), std::move(*value));
            }
            std::free(it);
            return result;
        }
        default:
            return std::nullopt;
    }
}

// A date as the whole seconds and microseconds since the reference date that property lists
// hold; none (with the reason) beyond the 32-bit seconds the reader takes, or not finite.
std::optional<std::pair<int32_t, int32_t>> plistDateParts(const Date& date, std::string& reason) {
    double t = date.timeIntervalSinceReferenceDate();
    double whole = std::floor(t);
    double usec = std::round((t - whole) * 1e6);
    if (usec >= 1e6) {
        whole += 1;
        usec = 0;
    }
    if (!std::isfinite(t) || whole < std::numeric_limits<int32_t>::min() ||
        whole > std::numeric_limits<int32_t>::max()) {
        reason = "Property list invalid for format (date out of range)";
        return std::nullopt;
    }
    return std::pair{static_cast<int32_t>(whole), static_cast<int32_t>(usec)};
}

// XML has no form for the character U+0000, and libplist hands keys back as C strings: either
// would end at it.
bool xmlText(const std::string& text, std::string& reason) {
    if (text.find('\0') == std::string::npos) return true;
    reason = "Property list invalid for format (text with a NUL character)";
    return false;
}

bool xmlKey(const std::string& key, std::string& reason) {
    if (key.find('\0') == std::string::npos) return true;
    reason = "Property list invalid for format (key with a NUL character)";
    return false;
}

// The binary form, written by the library's own writer: it keeps texts and keys whole (U+0000
// included), where libplist would end them at the first NUL.
std::optional<bplist::Ref> toBinaryPlist(const Value& v, bplist::Writer& out, std::string& reason) {
    switch (v.type()) {
        case Value::Type::Bool:
            return out.boolean(*v.getBool());
        case Value::Type::Integer:
            return out.integer(*v.getInteger());
        case Value::Type::Real:
            return out.real(*v.getNumber());
        case Value::Type::String:
            return out.string(*v.getString());
        case Value::Type::Date: {
            auto parts = plistDateParts(*v.getDate(), reason);
            if (!parts) return std::nullopt;
            return out.date(parts->first + parts->second / 1e6);
        }
        case Value::Type::Data: {
            const Data& d = *v.getData();
            return out.data(d.data(), d.size());
        }
        case Value::Type::Array: {
            std::vector<bplist::Ref> items;
            items.reserve(v.getArray()->size());
            for (const Value& e : *v.getArray()) {
                auto item = toBinaryPlist(e, out, reason);
                if (!item) return std::nullopt;
                items.push_back(*item);
            }
            return out.array(items);
        }
        case Value::Type::Dictionary: {
            std::vector<bplist::Ref> keys, values;
            keys.reserve(v.getDictionary()->size());
            values.reserve(v.getDictionary()->size());
            for (const auto& [key, e] : *v.getDictionary()) {
                keys.push_back(out.string(key));
                auto item = toBinaryPlist(e, out, reason);
                if (!item) return std::nullopt;
                values.push_back(*item);
            }
            return out.dictionary(keys, values);
        }
        case Value::Type::Null:
            reason = "Property list invalid for format (null)";
            return std::nullopt;
        case Value::Type::Absent:
            reason = "Property list invalid for format (missing value)";
            return std::nullopt;
    }
    return std::nullopt;
}

// Reads a binary property list with the library's own reader, which checks every offset, count
// and width against the bytes: libplist stops the process on some malformed lists (a key that holds
// U+0000 fails one of its assertions). As for keyed archives, nesting is limited, a container that
// holds itself is refused, and what one reading produces is bounded by the size of the list, so
// that a web of shared references cannot expand without end. Sets read as arrays and UIDs as
// integers, as libplist reads them; a null object makes the list unreadable.
class BinaryPlistReader {
public:
    BinaryPlistReader(const bplist::Reader& plist, size_t size)
        : plist_(plist),
          inProgress_(static_cast<size_t>(plist.objectCount()), false),
          steps_(16 * static_cast<uint64_t>(size) + 4096),
          bytes_(16 * static_cast<uint64_t>(size) + (uint64_t(64) << 20)) {}

    std::optional<Value> read(uint64_t ref, size_t depth) {
        using Kind = bplist::Reader::Kind;
        bplist::Reader::Object node;
        if (depth > kMaxPlistDepth || !spend(1) || !plist_.object(ref, node)) return std::nullopt;
        switch (node.kind) {
            case Kind::Boolean:
                return Value(node.boolean);
            case Kind::Integer:
            case Kind::Uid:
                return Value(static_cast<int64_t>(node.integer));
            case Kind::Real:
                return Value(node.real);
            case Kind::Date:
                return Value(Date::fromTimeIntervalSinceReferenceDate(node.real));
            case Kind::AsciiString:
            case Kind::Utf16String:
                if (!spend(0, node.count)) return std::nullopt;
                return Value(plist_.text(node));
            case Kind::Data: {
                if (!spend(0, node.count)) return std::nullopt;
                const uint8_t* bytes = plist_.bytes(node);
                return Value(Data(bytes, bytes + node.count));
            }
            case Kind::Array:
            case Kind::Set:
            case Kind::Dictionary: {
                const auto slot = static_cast<size_t>(ref);
                if (inProgress_[slot] || !spend(node.count)) return std::nullopt;
                inProgress_[slot] = true;
                auto value =
                    node.kind == Kind::Dictionary ? readDictionary(node, depth) : readArray(node, depth);
                inProgress_[slot] = false;
                return value;
            }
            default:
                return std::nullopt;
        }
    }

private:
    static constexpr size_t kMaxPlistDepth = 512;

    bool spend(uint64_t steps, uint64_t bytes = 0) {
        if (steps > steps_ || bytes > bytes_) {
            steps_ = bytes_ = 0;
            return false;
        }
        steps_ -= steps;
        bytes_ -= bytes;
        return true;
    }

    std::optional<Value> readArray(const bplist::Reader::Object& node, size_t depth) {
        Array items;
        items.reserve(static_cast<size_t>(node.count));
        for (uint64_t i = 0; i < node.count; ++i) {
            auto item = read(plist_.element(node, i), depth + 1);
            if (!item) return std::nullopt;
            items.push_back(std::move(*item));
        }
        return Value(std::move(items));
    }

    std::optional<Value> readDictionary(const bplist::Reader::Object& node, size_t depth) {
        std::vector<Dictionary::Entry> entries;
        entries.reserve(static_cast<size_t>(node.count));
        for (uint64_t i = 0; i < node.count; ++i) {
            bplist::Reader::Object key;
            if (!plist_.object(plist_.key(node, i), key) ||
                (key.kind != bplist::Reader::Kind::AsciiString &&
                 key.kind != bplist::Reader::Kind::Utf16String) ||
                !spend(1, key.count))
                return std::nullopt;
            auto item = read(plist_.value(node, i), depth + 1);
            if (!item) return std::nullopt;
            entries.emplace_back(plist_.text(key), std::move(*item));
        }
        return Value(Dictionary(std::move(entries)));
    }

    const bplist::Reader& plist_;
    std::vector<bool> inProgress_;
    uint64_t steps_;
    uint64_t bytes_;
};

plist_t toPlist(const Value& v, std::string& reason) {
    switch (v.type()) {
        case Value::Type::Bool:
            return plist_new_bool(*v.getBool() ? 1 : 0);
        case Value::Type::Integer:
            return plist_new_uint(static_cast<uint64_t>(*v.getInteger()));
        case Value::Type::Real:
            return plist_new_real(*v.getNumber());
        case Value::Type::String:
            if (!xmlText(*v.getString(), reason)) return nullptr;
            return plist_new_string(v.getString()->c_str());
        case Value::Type::Date: {
            auto parts = plistDateParts(*v.getDate(), reason);
            if (!parts) return nullptr;
            return plist_new_date(parts->first, parts->second);
        }
        case Value::Type::Data: {
            const Data& d = *v.getData();
            return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
        }
        case Value::Type::Array: {
            PlistPtr node(plist_new_array());
            for (const Value& e : *v.getArray()) {
                plist_t item = toPlist(e, reason);
                if (item == nullptr) return nullptr;
                plist_array_append_item(node.get(), item);
            }
            return node.release();
        }
        case Value::Type::Dictionary: {
            PlistPtr node(plist_new_dict());
            for (const auto& [key, e] : *v.getDictionary()) {
                if (!xmlKey(key, reason)) return nullptr;
                plist_t item = toPlist(e, reason);
                if (item == nullptr) return nullptr;
                plist_dict_set_item(node.get(), key.c_str(), item);
            }
            return node.release();
        }
        case Value::Type::Null:
            reason = "Property list invalid for format (null)";
            return nullptr;
        case Value::Type::Absent:
            reason = "Property list invalid for format (missing value)";
            return nullptr;
    }
    return nullptr;
}

// Gives the shared storage of a copy-on-write value to this value alone.
template <typename T>
T& unshare(std::shared_ptr<T>& p) {
    if (p.use_count() > 1) p = std::make_shared<T>(*p);
    return *p;
}

}  // namespace

// ---- Dictionary ------------------------------------------------------------------------------

namespace {

// Whether a key is the text: its length first, then its bytes, read a word at a time for the
// short keys dictionaries hold rather than through a call.
inline bool sameKey(const std::string& stored, std::string_view key) {
    const size_t n = key.size();
    if (stored.size() != n) return false;
    const char* a = stored.data();
    const char* b = key.data();
    auto word = [](const char* p) {
        uint64_t w = 0;
        std::memcpy(&w, p, 8);
        return w;
    };
    auto half = [](const char* p) {
        uint32_t w = 0;
        std::memcpy(&w, p, 4);
        return w;
    };
    if (n >= 8) {
        if (n > 16) return std::memcmp(a, b, n) == 0;
        // The first and the last eight bytes, which overlap for keys shorter than 16.
        return word(a) == word(b) && word(a + n - 8) == word(b + n - 8);
    }
    if (n >= 4) return half(a) == half(b) && half(a + n - 4) == half(b + n - 4);
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const Entry& e : entries) set(e.first, e.second);
}

namespace {

// A quick hash of a dictionary key, eight bytes at a time.
uint64_t keyHash(std::string_view key) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (key.size() * 0xBF58476D1CE4E5B9ull);
    const char* p = key.data();
    size_t left = key.size();
    for (; left >= 8; p += 8, left -= 8) {
        uint64_t w = 0;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    uint64_t w = 0;
    std::memcpy(&w, p, left);
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    return h * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

Dictionary::Dictionary(std::vector<Entry> entries) : entries_(std::move(entries)) {
    const size_t n = entries_.size();
    if (n < 2) return;
    if (n <= 16) {
        // A small dictionary, as most are, is looked at without allocating anything first.
        bool repeated = false;
        for (size_t i = 1; i < n && !repeated; ++i)
            for (size_t j = 0; j < i && !repeated; ++j) repeated = sameKey(entries_[j].first, entries_[i].first);
        if (!repeated) return;
    }
    // Index of the entry that keeps each key; entries whose key came earlier are dropped.
    std::vector<size_t> keeper(n);
    bool duplicates = false;
    if (n <= 16) {
        for (size_t i = 0; i < n; ++i) {
            keeper[i] = i;
            for (size_t j = 0; j < i; ++j) {
                if (keeper[j] == j && entries_[j].first == entries_[i].first) {
                    keeper[i] = j;
                    duplicates = true;
                    break;
                }
            }
        }
    } else {
        // An open-addressed table of the kept entries by their keys' hashes: only keys of one hash
        // are compared, and the table is the one allocation.
        size_t size = 32;
        while (size < 2 * n) size *= 2;
        struct Slot {
            uint32_t hash;
            uint32_t index;
        };
        constexpr uint32_t kEmpty = ~uint32_t{0};
        std::vector<Slot> table(size, Slot{0, kEmpty});
        const size_t mask = size - 1;
        for (size_t i = 0; i < n; ++i) {
            keeper[i] = i;
            const std::string& key = entries_[i].first;
            const uint64_t h = keyHash(key);
            const auto hash = static_cast<uint32_t>(h >> 32);
            size_t slot = static_cast<size_t>(h) & mask;
            for (; table[slot].index != kEmpty; slot = (slot + 1) & mask) {
                if (table[slot].hash == hash && entries_[table[slot].index].first == key) break;
            }
            if (table[slot].index == kEmpty) {
                table[slot] = Slot{hash, static_cast<uint32_t>(i)};
            } else {
                keeper[i] = table[slot].index;
                duplicates = true;
            }
        }
    }
    if (!duplicates) return;
    for (size_t i = 0; i < n; ++i) {
        if (keeper[i] != i) entries_[keeper[i]].second = std::move(entries_[i].second);
    }
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        if (keeper[i] != i) continue;
        if (out != i) entries_[out] = std::move(entries_[i]);
        ++out;
    }
    entries_.resize(out);
}

Dictionary Dictionary::withDistinctKeys(std::vector<Entry> entries) {
    Dictionary out;
    out.entries_ = std::move(entries);
    return out;
}

const Value* Dictionary::find(std::string_view key) const {
    for (const Entry& e : entries_) {
        if (sameKey(e.first, key)) return &e.second;
    }
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    for (Entry& e : entries_) {
        if (sameKey(e.first, key)) return &e.second;
    }
    return nullptr;
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
    } else {
        entries_.emplace_back(std::move(key), std::move(value));
    }
}

bool Dictionary::remove(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const Entry& e : entries_) out.push_back(e.first);
    return out;
}

bool Dictionary::operator==(const Dictionary& o) const {
    if (size() != o.size()) return false;
    for (const Entry& e : entries_) {
        const Value* other = o.find(e.first);
        if (other == nullptr || !(*other == e.second)) return false;
    }
    return true;
}

// ---- Value: access ---------------------------------------------------------------------------

Value Value::data(const void* bytes, size_t length) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    return Value(length == 0 ? Data{} : Data(p, p + length));
}

const Array* Value::getArray() const {
    auto* p = std::get_if<std::shared_ptr<Array>>(&v_);
    return p != nullptr ? p->get() : nullptr;
}

const Dictionary* Value::getDictionary() const {
    auto* p = std::get_if<std::shared_ptr<Dictionary>>(&v_);
    return p != nullptr ? p->get() : nullptr;
}

const Data* Value::getData() const {
    auto* p = std::get_if<std::shared_ptr<Data>>(&v_);
    return p != nullptr ? p->get() : nullptr;
}

std::optional<Date> Value::getDate() const {
    if (auto* d = std::get_if<Date>(&v_)) return *d;
    return std::nullopt;
}

std::optional<bool> Value::getBool() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b;
    return std::nullopt;
}

std::optional<int64_t> Value::getInteger() const {
    if (auto* i = std::get_if<int64_t>(&v_)) return *i;
    return std::nullopt;
}

std::optional<double> Value::getNumber() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b ? 1.0 : 0.0;
    if (auto* i = std::get_if<int64_t>(&v_)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&v_)) return *d;
    return std::nullopt;
}

bool Value::boolValue() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b;
    if (auto* i = std::get_if<int64_t>(&v_)) return *i != 0;
    if (auto* d = std::get_if<double>(&v_)) return *d != 0;
    if (auto* s = getString()) return boolFromText(*s);
    return false;
}

int64_t Value::integerValue() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b ? 1 : 0;
    if (auto* i = std::get_if<int64_t>(&v_)) return *i;
    if (auto* d = std::get_if<double>(&v_)) return integerFromReal(*d);
    if (auto* s = getString()) return integerFromText(*s);
    return 0;
}

double Value::doubleValue() const {
    if (auto n = getNumber()) return *n;
    if (auto* s = getString()) return doubleFromText(*s);
    return 0;
}

std::string Value::stringValue() const {
    if (auto* s = getString()) return *s;
    return description();
}

const Value& Value::operator[](std::string_view key) const {
    if (const Dictionary* d = getDictionary()) {
        if (const Value* v = d->find(key)) return *v;
    }
    return absentValue();
}

const Value& Value::operator[](size_t index) const {
    if (const Array* a = getArray()) {
        if (index < a->size()) return (*a)[index];
    }
    return absentValue();
}

size_t Value::count() const {
    if (const Array* a = getArray()) return a->size();
    if (const Dictionary* d = getDictionary()) return d->size();
    return 0;
}

// ---- Value: mutation -------------------------------------------------------------------------

Dictionary& Value::mutableDictionary() {
    if (isAbsent()) v_ = std::make_shared<Dictionary>();
    auto* p = std::get_if<std::shared_ptr<Dictionary>>(&v_);
    if (p == nullptr) throw std::logic_error("Value is not a dictionary");
    return unshare(*p);
}

Array& Value::mutableArray() {
    if (isAbsent()) v_ = std::make_shared<Array>();
    auto* p = std::get_if<std::shared_ptr<Array>>(&v_);
    if (p == nullptr) throw std::logic_error("Value is not an array");
    return unshare(*p);
}

Value& Value::set(std::string key, Value value) {
    mutableDictionary().set(std::move(key), std::move(value));
    return *this;
}

bool Value::remove(std::string_view key) {
    Dictionary& d = mutableDictionary();
    return d.remove(key);
}

Value& Value::append(Value value) {
    mutableArray().push_back(std::move(value));
    return *this;
}

// ---- Value: text -----------------------------------------------------------------------------

std::string Value::description() const {
    std::string out;
    describe(*this, 0, false, out);
    return out;
}

// ---- Value: JSON -----------------------------------------------------------------------------

std::optional<Value> Value::fromJSON(std::string_view text, Error* error) {
    {
        ValueBuilder builder;
        if (FastJSONReader(text, builder).read()) return std::move(builder.result);
    }
    ValueBuilder builder;
    try {
        if (Json::sax_parse(text.begin(), text.end(), &builder)) return std::move(builder.result);
    } catch (const Json::exception& e) {
        builder.error = e.what();
    }
    fail(error, kReadCorruptError, std::string(kUnreadable) + " (" + builder.error + ")");
    return std::nullopt;
}

std::optional<std::string> Value::toJSON(bool pretty, Error* error) const {
    {
        std::string out;
        if (CompactJSONWriter(out, pretty ? 2 : -1).write(*this)) return out;
    }
    Json j;
    std::string reason;
    if (!toJson(*this, j, reason)) {
        fail(error, kReadCorruptError, reason);
        return std::nullopt;
    }
    try {
        return j.dump(pretty ? 2 : -1);
    } catch (const Json::exception& e) {
        // Text that is not valid UTF-8.
        fail(error, kReadCorruptError, std::string("Unable to write JSON text (") + e.what() + ")");
        return std::nullopt;
    }
}

bool Value::isValidJSONObject() const {
    if (!isArray() && !isDictionary()) return false;
    Json j;
    std::string reason;
    return toJson(*this, j, reason);
}

// ---- Value: property lists -------------------------------------------------------------------

std::optional<Value> Value::fromPropertyList(const Data& bytes, Error* error) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        fail(error, kReadCorruptError, kUnreadable);
        return std::nullopt;
    }
    static constexpr std::string_view kBinaryHeader = "bplist";
    if (bytes.size() >= kBinaryHeader.size() &&
        std::equal(kBinaryHeader.begin(), kBinaryHeader.end(), bytes.begin())) {
        bplist::Reader plist;
        std::optional<Value> value;
        if (plist.open(bytes.data(), bytes.size()))
            value = BinaryPlistReader(plist, bytes.size()).read(plist.top(), 0);
        if (!value) fail(error, kReadCorruptError, kUnreadable);
        return value;
    }
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                      &root);
    PlistPtr owner(root);
    std::optional<Value> value;
    if (root != nullptr) value = fromPlist(root);
    if (!value) fail(error, kReadCorruptError, kUnreadable);
    return value;
}

std::optional<Data> Value::toPropertyList(PropertyListFormat format, Error* error) const {
    std::string reason;
    if (format == PropertyListFormat::Binary) {
        bplist::Writer writer;
        auto top = toBinaryPlist(*this, writer, reason);
        if (!top) {
            fail(error, kPropertyListWriteInvalidError, reason);
            return std::nullopt;
        }
        return writer.finish(*top);
    }
    PlistPtr root(toPlist(*this, reason));
    if (!root) {
        fail(error, kPropertyListWriteInvalidError, reason);
        return std::nullopt;
    }
    char* buffer = nullptr;  // the writer refuses to fill a buffer pointer that is already set
    uint32_t length = 0;
    plist_to_xml(root.get(), &buffer, &length);
    if (buffer == nullptr) {
        fail(error, kPropertyListWriteInvalidError, "Property list could not be written");
        return std::nullopt;
    }
    Data out(reinterpret_cast<const uint8_t*>(buffer), reinterpret_cast<const uint8_t*>(buffer) + length);
    plist_to_xml_free(buffer);
    return out;
}

// ---- Value: equality -------------------------------------------------------------------------

bool Value::operator==(const Value& o) const {
    Type a = type(), b = o.type();
    if ((a == Type::Integer || a == Type::Real) && (b == Type::Integer || b == Type::Real)) {
        if (a == Type::Integer && b == Type::Integer) return *getInteger() == *o.getInteger();
        if (a == Type::Real && b == Type::Real) return *getNumber() == *o.getNumber();
        int64_t i = a == Type::Integer ? *getInteger() : *o.getInteger();
        double d = a == Type::Real ? *getNumber() : *o.getNumber();
        // Exact: the real must be integral, in range and the same integer.
        return d >= -9223372036854775808.0 && d < 9223372036854775808.0 && std::trunc(d) == d &&
               static_cast<int64_t>(d) == i;
    }
    if (a != b) return false;
    // Shared containers (copies of one value) are equal without a look inside.
    if (v_.index() == o.v_.index() && (a == Type::Array || a == Type::Dictionary || a == Type::Data)) {
        bool same = std::visit(
            [&](const auto& mine) {
                using T = std::decay_t<decltype(mine)>;
                if constexpr (std::is_same_v<T, std::shared_ptr<platform::Array>> ||
                              std::is_same_v<T, std::shared_ptr<platform::Dictionary>> ||
                              std::is_same_v<T, std::shared_ptr<platform::Data>>)
                    return mine == std::get<T>(o.v_);
                else
                    return false;
            },
            v_);
        if (same) return true;
    }
    switch (a) {
        case Type::Absent:
        case Type::Null:
            return true;
        case Type::Bool:
            return *getBool() == *o.getBool();
        case Type::String:
            return *getString() == *o.getString();
        case Type::Date:
            return *getDate() == *o.getDate();
        case Type::Data:
            return *getData() == *o.getData();
        case Type::Array:
            return *getArray() == *o.getArray();
        case Type::Dictionary:
            return *getDictionary() == *o.getDictionary();
        default:
            return false;
    }
}

}  // namespace brindlecue::platform
