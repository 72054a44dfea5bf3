#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URL.h"

namespace brindlecue::platform {

// One "name=value" pair of a query; a missing value is a name without "=".
struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;

    bool operator==(const URLQueryItem&) const = default;
};

// A URL taken apart into editable components. The plain accessors work on decoded text and
// encode with the platform's allowed set of each component when set; the percentEncoded ones
// work on the text as it stands in the URL.
class URLComponents {
public:
    URLComponents() = default;
    // The components of the URL (resolved against its base when asked, else of its own text).
    static URLComponents fromURL(const URL& url, bool resolvingAgainstBaseURL = true);
    // None for text that is not a valid URL.
    static std::optional<URLComponents> fromString(std::string_view text);

    std::optional<std::string> scheme;
    std::optional<int> port;

    std::optional<std::string> user() const;
    void setUser(const std::optional<std::string>& user);
    std::optional<std::string> password() const;
    void setPassword(const std::optional<std::string>& password);
    std::optional<std::string> host() const;
    void setHost(const std::optional<std::string>& host);
    std::string path() const;
    void setPath(const std::string& path);
    std::optional<std::string> query() const;
    void setQuery(const std::optional<std::string>& query);
    std::optional<std::string> fragment() const;
    void setFragment(const std::optional<std::string>& fragment);

    std::optional<std::string> percentEncodedUser;
    std::optional<std::string> percentEncodedPassword;
    std::optional<std::string> percentEncodedHost;
    std::string percentEncodedPath;
    std::optional<std::string> percentEncodedQuery;
    std::optional<std::string> percentEncodedFragment;

    // The query split at "&" and the first "=" of each piece, decoded; none without a query.
    std::optional<std::vector<URLQueryItem>> queryItems() const;
    // Names and values are encoded with the query set, plus "&" and "=" (and "+", which servers
    // read as a space), so that every item reads back exactly as it was set.
    void setQueryItems(const std::optional<std::vector<URLQueryItem>>& items);

    // The text of the components, and the URL for it (none when the text is not a valid URL).
    std::string string() const;
    std::optional<URL> url() const;

private:
    URL::Parts parts() const;
};

}  // namespace brindlecue::platform
