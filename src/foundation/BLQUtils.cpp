#include "foundation/BLQUtils.h"

#include <array>

#include "foundation/KJLog.h"
#include "platform/Error.h"
#include "platform/SystemLog.h"

namespace brindlecue {

using platform::Value;

namespace {

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

bool isTrimmable(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isTrimmable(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && isTrimmable(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        if (c < 0x80) {
            extra = 0;
        } else if ((c >> 5) == 0x6) {
            extra = 1;
        } else if ((c >> 4) == 0xE) {
            extra = 2;
        } else if ((c >> 3) == 0x1E) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= s.size() && extra > 0) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
        }
        i += extra + 1;
    }
    return true;
}

// Percent-unescaping as UTF-8; a broken escape or bytes that are not UTF-8 give none.
std::optional<std::string> percentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!isValidUtf8(out)) return std::nullopt;
    return out;
}

// The JSON text with every member written ": null," or ": null}" given the empty text instead, as
// the older layer did by replacing text; only outside strings, so that a text that holds those
// characters stays whole and the document still reads.
std::string emptyTextForSpacedNulls(const std::string& text) {
    static constexpr std::string_view kMember = ": null";
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) {
                out += text[++i];
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') inString = true;
        const size_t end = i + kMember.size();
        if (c == ':' && end < text.size() && (text[end] == ',' || text[end] == '}') &&
            text.compare(i, kMember.size(), kMember) == 0) {
            out += ": \"\"";
            i = end - 1;
            continue;
        }
        out += c;
    }
    return out;
}

// A JSON text whose top level is an array or a dictionary, as the platform's parser reads it
// without the fragments option.
std::optional<Value> parseContainer(const std::string& text, platform::Error* error) {
    auto v = Value::fromJSON(text, error);
    if (v && !v->isArray() && !v->isDictionary()) {
        if (error != nullptr) {
            *error = platform::Error::withDescription("NSCocoaErrorDomain", 3840,
                                                      "JSON text did not start with array or object.");
        }
        return std::nullopt;
    }
    return v;
}

}  // namespace

// ---- Text, data and collections ----------------------------------------------------------------

std::string blqConvertKJTipTypeString(int32_t tipType) {
    static constexpr std::array<const char*, 8> kWords = {"Unknown",   "tour",     "tip",      "modal",
                                                          "coachmark", "feedback", "carousel", "fab"};
    if (tipType < 0 || tipType >= static_cast<int32_t>(kWords.size())) return kWords[0];
    return kWords[static_cast<size_t>(tipType)];
}

std::string blqCstringToNSString(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

std::string blqDataToHexString(const platform::Data& data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 2);
    for (uint8_t b : data) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string blqBoolToString(bool value) {
    return value ? "true" : "false";
}

bool blqStrIsEmpty(const Value& object) {
    if (object.isAbsent()) return true;
    const std::string* s = object.getString();
    return s != nullptr && s->empty();
}

std::optional<std::string> blqAppendString(const std::optional<std::string>& first,
                                           const std::optional<std::string>& second) {
    bool hasFirst = first && !first->empty();
    bool hasSecond = second && !second->empty();
    if (hasFirst && hasSecond) return *first + " " + *second;
    if (hasFirst) return first;
    if (hasSecond) return second;
    return std::nullopt;
}

bool blqArrayIsSame(const Value& first, const Value& second) {
    if (first.isNil() && second.isNil()) return true;
    if (first.isNil() || second.isNil()) return false;
    const platform::Array* a = first.getArray();
    const platform::Array* b = second.getArray();
    if (a == nullptr || b == nullptr) return false;
    if (a->size() != b->size()) return false;
    std::vector<std::string> texts;
    texts.reserve(b->size());
    for (const Value& e : *b) texts.push_back(e.stringValue());
    for (const Value& e : *a) {
        std::string t = e.stringValue();
        bool found = false;
        for (const std::string& u : texts) {
            if (u == t) {
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    return true;
}

std::string blqUrlEncodeFull(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '.' || c == '~';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 0xF];
        }
    }
    return out;
}

Value blqParseGetParamStringToDict(const std::string& query) {
    Value out = Value::dictionary();
    size_t start = 0;
    while (start <= query.size()) {
        size_t amp = query.find('&', start);
        std::string piece = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        start = amp == std::string::npos ? query.size() + 1 : amp + 1;

        size_t eq = piece.find('=');
        if (eq == std::string::npos) continue;
        size_t eq2 = piece.find('=', eq + 1);
        std::string rawKey = piece.substr(0, eq);
        std::string rawValue =
            piece.substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1);
        auto key = percentDecoded(rawKey);
        auto value = percentDecoded(rawValue);
        if (!key || !value) continue;
        std::string k = trimmed(*key), v = trimmed(*value);
        if (k.empty() || v.empty()) continue;
        out.set(std::move(k), Value(std::move(v)));
    }
    return out;
}

// ---- JSON ----------------------------------------------------------------------------------

Value blqParseObjectToDict(const Value& object) {
    if (object.isDictionary()) return object;
    const std::string* text = object.getString();
    if (text == nullptr || text->empty()) return Value();
    std::string cleaned = emptyTextForSpacedNulls(*text);
    platform::Error error;
    auto parsed = Value::fromJSON(cleaned, &error);
    if (parsed && parsed->isDictionary()) return *parsed;
    if (parsed) {
        error =
            platform::Error::withDescription("NSCocoaErrorDomain", 3840, "JSON text is not a dictionary.");
    }
    KJLog(1, "Fail to parse object (%@) to dict, error: %@.", object, error);
    return Value();
}

std::string blqSerializeObjToJson(const Value& object) {
    if (object.isNil() && !object.isNull()) return "";
    platform::Error error;
    auto text = object.toJSON(false, &error);
    if (!text) {
        KJLog(1, "Fail to serialize object (%@) to JSON, error: %@.", object, error);
        return "";
    }
    return *text;
}

Value blqDeSerializeJsonStringToDict(const Value& text) {
    const std::string* s = text.getString();
    if (s == nullptr) return Value();
    auto v = parseContainer(*s, nullptr);
    return v ? *v : Value();
}

Value blqDeSerializeJsonStringToArray(const Value& text) {
    Value v = blqDeSerializeJsonStringToDict(text);
    return v.isArray() ? v : Value();
}

std::optional<std::string> blqSerializeDicToJsonString(const Value& dictionary) {
    if (dictionary.isAbsent()) return std::nullopt;
    platform::Error error;
    auto text = dictionary.toJSON(true, &error);
    if (!text) {
        systemLog().log(platform::LogType::Default, "Got an error: " + error.description());
        return std::nullopt;
    }
    return text;
}

}  // namespace brindlecue
