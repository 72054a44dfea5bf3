#include "platform/foundation/URLComponents.h"

namespace brindlecue::platform {

namespace {

std::optional<std::string> decoded(const std::optional<std::string>& raw) {
    if (!raw) return std::nullopt;
    auto text = URL::removingPercentEncoding(*raw);
    return text ? text : raw;
}

std::optional<std::string> encoded(const std::optional<std::string>& text, const CharacterSet& allowed) {
    if (!text) return std::nullopt;
    return URL::addingPercentEncoding(*text, allowed);
}

}  // namespace

URLComponents URLComponents::fromURL(const URL& url, bool resolvingAgainstBaseURL) {
    URL::Parts p;
    if (resolvingAgainstBaseURL || !url.baseURL()) {
        p.scheme = url.scheme();
        p.user = url.percentEncodedUser();
        p.password = url.percentEncodedPassword();
        p.host = url.percentEncodedHost();
        p.port = url.port();
        p.path = url.percentEncodedPath();
        p.query = url.query();
        p.fragment = url.fragment();
    } else {
        p = URL::parse(url.relativeString()).value_or(URL::Parts{});
    }
    URLComponents c;
    c.scheme = p.scheme;
    c.percentEncodedUser = p.user;
    c.percentEncodedPassword = p.password;
    c.percentEncodedHost = p.host;
    c.port = p.port;
    c.percentEncodedPath = p.path;
    c.percentEncodedQuery = p.query;
    c.percentEncodedFragment = p.fragment;
    return c;
}

std::optional<URLComponents> URLComponents::fromString(std::string_view text) {
    auto url = URL::fromString(text);
    if (!url) return std::nullopt;
    return fromURL(*url);
}

std::optional<std::string> URLComponents::user() const { return decoded(percentEncodedUser); }
void URLComponents::setUser(const std::optional<std::string>& v) {
    percentEncodedUser = encoded(v, CharacterSet::urlUserAllowed().removing(":@"));
}
std::optional<std::string> URLComponents::password() const { return decoded(percentEncodedPassword); }
void URLComponents::setPassword(const std::optional<std::string>& v) {
    percentEncodedPassword = encoded(v, CharacterSet::urlPasswordAllowed().removing(":@"));
}
std::optional<std::string> URLComponents::host() const { return decoded(percentEncodedHost); }
void URLComponents::setHost(const std::optional<std::string>& v) {
    percentEncodedHost = encoded(v, CharacterSet::urlHostAllowed().removing("[]"));
}
std::string URLComponents::path() const { return *decoded(percentEncodedPath); }
void URLComponents::setPath(const std::string& v) {
    percentEncodedPath = URL::addingPercentEncoding(v, CharacterSet::urlPathAllowed());
}
std::optional<std::string> URLComponents::query() const { return decoded(percentEncodedQuery); }
void URLComponents::setQuery(const std::optional<std::string>& v) {
    percentEncodedQuery = encoded(v, CharacterSet::urlQueryAllowed());
}
std::optional<std::string> URLComponents::fragment() const { return decoded(percentEncodedFragment); }
void URLComponents::setFragment(const std::optional<std::string>& v) {
    percentEncodedFragment = encoded(v, CharacterSet::urlFragmentAllowed());
}

std::optional<std::vector<URLQueryItem>> URLComponents::queryItems() const {
    if (!percentEncodedQuery) return std::nullopt;
    std::vector<URLQueryItem> items;
    const std::string& q = *percentEncodedQuery;
    if (q.empty()) return items;
    size_t i = 0;
    while (i <= q.size()) {
        size_t amp = q.find('&', i);
        if (amp == std::string::npos) amp = q.size();
        std::string piece = q.substr(i, amp - i);
        URLQueryItem item;
        auto eq = piece.find('=');
        item.name = *decoded(piece.substr(0, eq));
        if (eq != std::string::npos) item.value = decoded(piece.substr(eq + 1));
        items.push_back(std::move(item));
        i = amp + 1;
    }
    return items;
}

void URLComponents::setQueryItems(const std::optional<std::vector<URLQueryItem>>& items) {
    if (!items) {
        percentEncodedQuery.reset();
        return;
    }
    static const CharacterSet allowed = CharacterSet::urlQueryAllowed().removing("&=+");
    std::string q;
    for (size_t i = 0; i < items->size(); ++i) {
        if (i > 0) q += '&';
        const auto& item = (*items)[i];
        q += URL::addingPercentEncoding(item.name, allowed);
        if (item.value) {
            q += '=';
            q += URL::addingPercentEncoding(*item.value, allowed);
        }
    }
    percentEncodedQuery = q;
}

URL::Parts URLComponents::parts() const {
    URL::Parts p;
    p.scheme = scheme;
    p.user = percentEncodedUser;
    p.password = percentEncodedPassword;
    p.host = percentEncodedHost;
    if (!p.host && (p.user || p.password || port)) p.host = "";
    p.port = port;
    p.path = percentEncodedPath;
    p.query = percentEncodedQuery;
    p.fragment = percentEncodedFragment;
    return p;
}

std::string URLComponents::string() const { return parts().toString(); }

std::optional<URL> URLComponents::url() const {
    URL::Parts p = parts();
    // With an authority, a non-empty path must start with "/"; without one, it must not start "//".
    if (p.host && !p.path.empty() && p.path[0] != '/') return std::nullopt;
    if (!p.host && p.path.rfind("//", 0) == 0) return std::nullopt;
    return URL::fromString(p.toString());
}

}  // namespace brindlecue::platform
