#include "platform/foundation/URL.h"

#include <cctype>

namespace brindlecue::platform {

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return (std::tolower(static_cast<unsigned char>(c)) - 'a') + 10;
}

// Printable ASCII that may stand in a URL text at all; where each one may stand is checked later.
bool isURLCharacter(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f) return false;
    switch (c) {
        case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
            return false;
        default:
            return true;
    }
}

bool validUTF8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xe ? 2 : (c >> 3) == 0x1e ? 3 : 4;
        if (extra == 4 || i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
        }
        i += extra + 1;
    }
    return true;
}

// RFC 3986, 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string in(input);
    std::string out;
    while (!in.empty()) {
        if (in.rfind("../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind("./", 0) == 0) {
            in.erase(0, 2);
        } else if (in.rfind("/./", 0) == 0) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.rfind("/../", 0) == 0 || in == "/..") {
            in = in.size() == 3 ? std::string("/") : in.substr(3);
            auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            size_t start = in[0] == '/' ? 1 : 0;
            size_t next = in.find('/', start);
            if (next == std::string::npos) next = in.size();
            out += in.substr(0, next);
            in.erase(0, next);
        }
    }
    return out;
}

std::string decodedOrRaw(const std::string& raw) {
    auto decoded = URL::removingPercentEncoding(raw);
    return decoded ? *decoded : raw;
}

}  // namespace

std::string URL::addingPercentEncoding(std::string_view text, const CharacterSet& allowed) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (allowed.contains(c)) {
            out += c;
        } else {
            auto u = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xf];
        }
    }
    return out;
}

std::optional<std::string> URL::removingPercentEncoding(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        if (!isHex(text[i + 1]) || !isHex(text[i + 2])) return std::nullopt;
        out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
        i += 2;
    }
    if (!validUTF8(out)) return std::nullopt;
    return out;
}

std::optional<URL::Parts> URL::parse(std::string_view text) {
    // Character check: only URL characters, well-formed escapes, one "#" at most.
    bool sawHash = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!isURLCharacter(c)) return std::nullopt;
        if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return std::nullopt;
        if (c == '#') {
            if (sawHash) return std::nullopt;
            sawHash = true;
        }
    }

    Parts parts;
    std::string_view rest = text;

    // Scheme: ALPHA *(ALPHA / DIGIT / "+" / "-" / ".") ":"
    auto colon = rest.find(':');
    if (colon != std::string_view::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        bool ok = true;
        for (size_t i = 0; i < colon; ++i) {
            char c = rest[i];
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
                ok = false;
                break;
            }
        }
        if (ok) {
            parts.scheme = std::string(rest.substr(0, colon));
            rest.remove_prefix(colon + 1);
        }
    }

    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        parts.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto q = rest.find('?'); q != std::string_view::npos) {
        parts.query = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }

    if (rest.rfind("//", 0) == 0) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);

        if (auto at = authority.rfind('@'); at != std::string_view::npos) {
            std::string_view userinfo = authority.substr(0, at);
            authority.remove_prefix(at + 1);
            if (userinfo.find_first_of("[]") != std::string_view::npos) return std::nullopt;
            auto c = userinfo.find(':');
            parts.user = std::string(userinfo.substr(0, c));
            if (c != std::string_view::npos) parts.password = std::string(userinfo.substr(c + 1));
        }
        std::string_view portText;
        bool hasPort = false;
        if (!authority.empty() && authority[0] == '[') {
            auto close = authority.find(']');
            if (close == std::string_view::npos) return std::nullopt;
            std::string_view inside = authority.substr(1, close - 1);
            if (inside.empty() || inside.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
                return std::nullopt;
            }
            parts.host = std::string(inside);
            std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after[0] != ':') return std::nullopt;
                portText = after.substr(1);
                hasPort = true;
            }
        } else {
            auto c = authority.find(':');
            std::string_view host = authority.substr(0, c);
            if (host.find_first_of("[]") != std::string_view::npos) return std::nullopt;
            parts.host = std::string(host);
            if (c != std::string_view::npos) {
                portText = authority.substr(c + 1);
                hasPort = true;
            }
        }
        if (hasPort && !portText.empty()) {
            if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string_view::npos) {
                return std::nullopt;
            }
            int port = std::stoi(std::string(portText));
            if (port > 65535) return std::nullopt;
            parts.port = port;
        }
    }

    if (rest.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    parts.path = std::string(rest);
    return parts;
}

std::string URL::Parts::toString() const {
    std::string out;
    if (scheme) out += *scheme + ":";
    if (host) {
        out += "//";
        if (user) {
            out += *user;
            if (password) out += ":" + *password;
            out += "@";
        }
        if (host->find(':') != std::string::npos) {
            out += "[" + *host + "]";
        } else {
            out += *host;
        }
        if (port) out += ":" + std::to_string(*port);
    }
    out += path;
    if (query) out += "?" + *query;
    if (fragment) out += "#" + *fragment;
    return out;
}

URL::Parts URL::resolve(const Parts& r, const Parts& b) {
    Parts t;
    if (r.scheme) {
        t = r;
        t.path = removeDotSegments(r.path);
        return t;
    }
    if (r.host) {
        t.user = r.user;
        t.password = r.password;
        t.host = r.host;
        t.port = r.port;
        t.path = removeDotSegments(r.path);
        t.query = r.query;
    } else {
        if (r.path.empty()) {
            t.path = b.path;
            t.query = r.query ? r.query : b.query;
        } else {
            if (r.path[0] == '/') {
                t.path = removeDotSegments(r.path);
            } else {
                std::string merged;
                if (b.host && b.path.empty()) {
                    merged = "/" + r.path;
                } else {
                    auto slash = b.path.rfind('/');
                    merged = (slash == std::string::npos ? std::string() : b.path.substr(0, slash + 1)) + r.path;
                }
                t.path = removeDotSegments(merged);
            }
            t.query = r.query;
        }
        t.user = b.user;
        t.password = b.password;
        t.host = b.host;
        t.port = b.port;
    }
    t.scheme = b.scheme;
    t.fragment = r.fragment;
    return t;
}

std::optional<URL> URL::fromString(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto parts = parse(text);
    if (!parts) return std::nullopt;
    URL url;
    url.relative_ = std::string(text);
    url.absolute_ = url.relative_;
    url.parts_ = std::move(*parts);
    return url;
}

std::optional<URL> URL::fromString(std::string_view text, const URL& base) {
    auto reference = parse(text);
    if (!reference) return std::nullopt;
    if (text.empty() && base.absolute_.empty()) return std::nullopt;
    URL url;
    url.relative_ = std::string(text);
    url.base_ = std::make_shared<const URL>(base.absoluteURL());
    if (reference->scheme) {
        url.parts_ = std::move(*reference);
        url.absolute_ = url.relative_;
    } else {
        url.parts_ = resolve(*reference, url.base_->parts_);
        url.absolute_ = url.parts_.toString();
    }
    return url;
}

URL URL::fileURL(const std::string& path, bool isDirectory) {
    std::string encoded = addingPercentEncoding(path, CharacterSet::urlPathAllowed());
    if (isDirectory && (encoded.empty() || encoded.back() != '/')) encoded += '/';
    URL url;
    url.parts_.scheme = "file";
    url.parts_.host = "";
    url.parts_.path = encoded;
    url.absolute_ = url.relative_ = url.parts_.toString();
    return url;
}

URL URL::absoluteURL() const {
    if (!base_) return *this;
    URL url;
    url.parts_ = parts_;
    url.absolute_ = url.relative_ = absolute_;
    return url;
}

std::optional<std::string> URL::host() const {
    if (!parts_.host || parts_.host->empty()) return std::nullopt;
    return decodedOrRaw(*parts_.host);
}

std::optional<std::string> URL::user() const {
    if (!parts_.user) return std::nullopt;
    return decodedOrRaw(*parts_.user);
}

std::optional<std::string> URL::password() const {
    if (!parts_.password) return std::nullopt;
    return decodedOrRaw(*parts_.password);
}

std::string URL::path() const {
    std::string p = decodedOrRaw(parts_.path);
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::vector<std::string> URL::pathComponents() const {
    std::vector<std::string> out;
    const std::string& p = parts_.path;
    if (p.empty()) return out;
    if (p[0] == '/') out.emplace_back("/");
    size_t i = 0;
    while (i < p.size()) {
        size_t next = p.find('/', i);
        if (next == std::string::npos) next = p.size();
        if (next > i) out.push_back(decodedOrRaw(p.substr(i, next - i)));
        i = next + 1;
    }
    return out;
}

std::string URL::lastPathComponent() const {
    auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string URL::pathExtension() const {
    std::string last = lastPathComponent();
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) return "";
    return last.substr(dot + 1);
}

bool URL::hasDirectoryPath() const { return !parts_.path.empty() && parts_.path.back() == '/'; }

bool URL::isFileURL() const {
    if (!parts_.scheme || parts_.scheme->size() != 4) return false;
    std::string s = *parts_.scheme;
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s == "file";
}

URL URL::appendingPathComponent(std::string_view component) const {
    URL url;
    url.parts_ = parts_;
    std::string& p = url.parts_.path;
    std::string encoded = addingPercentEncoding(component, CharacterSet::urlPathAllowed());
    if (p.empty() || p.back() != '/') {
        if (!(p.empty() && !parts_.host && encoded.empty())) p += '/';
    }
    if (!encoded.empty() && encoded[0] == '/' && !p.empty() && p.back() == '/') encoded.erase(0, 1);
    p += encoded;
    url.absolute_ = url.relative_ = url.parts_.toString();
    return url;
}

URL URL::deletingLastPathComponent() const {
    URL url;
    url.parts_ = parts_;
    std::string& p = url.parts_.path;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    auto slash = p.rfind('/');
    p = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
    url.absolute_ = url.relative_ = url.parts_.toString();
    return url;
}

bool URL::operator==(const URL& other) const {
    if (relative_ != other.relative_) return false;
    if (!base_ || !other.base_) return !base_ && !other.base_;
    return *base_ == *other.base_;
}

}  // namespace brindlecue::platform
