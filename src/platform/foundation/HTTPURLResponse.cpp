#include "platform/foundation/HTTPURLResponse.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace brindlecue::platform {

namespace {

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

HTTPHeaderFields joined(const HTTPHeaderFields& raw) {
    HTTPHeaderFields out;
    for (const auto& [name, value] : raw) {
        const std::string& field = name;  // a lambda cannot capture a structured binding under every compiler
        auto it =
            std::find_if(out.begin(), out.end(), [&](const auto& h) { return headerNameEquals(h.first, field); });
        if (it == out.end()) {
            out.emplace_back(name, value);
        } else {
            it->second += ", " + value;
        }
    }
    return out;
}

std::optional<std::string> field(const HTTPHeaderFields& fields, std::string_view name) {
    for (const auto& [n, v] : fields) {
        if (headerNameEquals(n, name)) return v;
    }
    return std::nullopt;
}

std::optional<std::string> mimeTypeOf(const HTTPHeaderFields& fields) {
    auto type = field(fields, "Content-Type");
    if (!type) return std::nullopt;
    std::string mime = lower(trim(type->substr(0, type->find(';'))));
    if (mime.empty()) return std::nullopt;
    return mime;
}

std::optional<std::string> charsetOf(const HTTPHeaderFields& fields) {
    auto type = field(fields, "Content-Type");
    if (!type) return std::nullopt;
    size_t pos = type->find(';');
    while (pos != std::string::npos) {
        size_t next = type->find(';', pos + 1);
        std::string param = trim(type->substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1));
        auto eq = param.find('=');
        if (eq != std::string::npos && lower(trim(param.substr(0, eq))) == "charset") {
            std::string value = trim(param.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            if (!value.empty()) return lower(value);
        }
        pos = next;
    }
    return std::nullopt;
}

int64_t lengthOf(const HTTPHeaderFields& fields) {
    auto text = field(fields, "Content-Length");
    if (!text) return URLResponse::kUnknownLength;
    std::string t = trim(*text);
    if (t.empty() || t.size() > 18 || t.find_first_not_of("0123456789") != std::string::npos) {
        return URLResponse::kUnknownLength;
    }
    return std::stoll(t);
}

}  // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, const HTTPHeaderFields& headerFields)
    : URLResponse(std::move(url), mimeTypeOf(headerFields), lengthOf(headerFields), charsetOf(headerFields)),
      statusCode_(statusCode),
      fields_(joined(headerFields)) {}

Value HTTPURLResponse::allHeaderFields() const {
    Value out = Value::dictionary();
    for (const auto& [name, value] : fields_) out.set(name, value);
    return out;
}

std::optional<std::string> HTTPURLResponse::valueForHTTPHeaderField(std::string_view name) const {
    return field(fields_, name);
}

std::string HTTPURLResponse::localizedStringForStatusCode(int code) {
    static const std::map<int, const char*> kTexts = {
        {100, "continue"}, {101, "switching protocols"}, {200, "no error"}, {201, "created"},
        {202, "accepted"}, {203, "non-authoritative information"}, {204, "no content"},
        {205, "reset content"}, {206, "partial content"}, {300, "multiple choices"},
        {301, "moved permanently"}, {302, "found"}, {303, "see other"}, {304, "not modified"},
        {305, "needs proxy"}, {307, "temporarily redirected"}, {308, "permanent redirect"},
        {400, "bad request"}, {401, "unauthorized"}, {402, "payment required"}, {403, "forbidden"},
        {404, "not found"}, {405, "method not allowed"}, {406, "unacceptable"},
        {407, "proxy authentication required"}, {408, "request timed out"}, {409, "conflict"},
        {410, "no longer exists"}, {411, "length required"}, {412, "precondition failed"},
        {413, "request too large"}, {414, "requested URL too long"}, {415, "unsupported media type"},
        {416, "requested range not satisfiable"}, {417, "expectation failed"}, {422, "unprocessable entity"},
        {429, "too many requests"}, {500, "internal server error"}, {501, "unimplemented"},
        {502, "bad gateway"}, {503, "service unavailable"}, {504, "gateway timed out"},
        {505, "unsupported version"},
    };
    if (auto it = kTexts.find(code); it != kTexts.end()) return it->second;
    if (code >= 100 && code < 200) return "informational";
    if (code >= 200 && code < 300) return "success";
    if (code >= 300 && code < 400) return "redirected";
    if (code >= 400 && code < 500) return "client error";
    if (code >= 500 && code < 600) return "server error";
    return "server error";
}

std::string HTTPURLResponse::description() const {
    std::string out = "<NSHTTPURLResponse> { URL: " + (url() ? url()->absoluteString() : std::string("(null)")) +
                      " } { Status Code: " + std::to_string(statusCode_) + ", Headers {";
    for (size_t i = 0; i < fields_.size(); ++i) {
        out += (i ? ", " : " ") + fields_[i].first + ": " + fields_[i].second;
    }
    out += fields_.empty() ? "} }" : " } }";
    return out;
}

}  // namespace brindlecue::platform
