#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/CharacterSet.h"

namespace brindlecue::platform {

// A URL as the platform's URL type holds it: the text it was made from, an optional base it is
// relative to, and the components of the resolved (absolute) form. Made only from valid text:
// fromString() refuses characters outside the URL character set, a bad percent escape, a
// malformed authority or a bad port. Resolution against a base follows RFC 3986, section 5.
class URL {
public:
    // The URL for the text, or none when the text is not a valid URL (the empty text included).
    static std::optional<URL> fromString(std::string_view text);
    // The text resolved against the base (text with a scheme stands alone).
    static std::optional<URL> fromString(std::string_view text, const URL& base);
    // A "file" URL for an absolute file-system path; the path is percent-encoded as needed.
    static URL fileURL(const std::string& path, bool isDirectory = false);

    // The resolved text, and the text the URL was made from.
    const std::string& absoluteString() const { return absolute_; }
    const std::string& relativeString() const { return relative_; }
    const std::shared_ptr<const URL>& baseURL() const { return base_; }
    // The same URL with the base folded in.
    URL absoluteURL() const;

    // Components of the resolved form. Host, user and password are percent-decoded (an IPv6 host
    // without its brackets); query and fragment keep their percent escapes, as the platform has them.
    const std::optional<std::string>& scheme() const { return parts_.scheme; }
    std::optional<std::string> host() const;
    std::optional<int> port() const { return parts_.port; }
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    // The decoded path without a trailing "/" (except for the root path "/").
    std::string path() const;
    const std::string& percentEncodedPath() const { return parts_.path; }
    // "/" first for an absolute path, then every non-empty decoded segment.
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    std::string pathExtension() const;
    bool hasDirectoryPath() const;
    const std::optional<std::string>& query() const { return parts_.query; }
    const std::optional<std::string>& fragment() const { return parts_.fragment; }

    // Raw (still encoded) pieces for URLComponents.
    const std::optional<std::string>& percentEncodedHost() const { return parts_.host; }
    const std::optional<std::string>& percentEncodedUser() const { return parts_.user; }
    const std::optional<std::string>& percentEncodedPassword() const { return parts_.password; }

    bool isFileURL() const;

    // A new absolute URL with the component appended to the path (percent-encoded with the path
    // set, "/" kept as separator). An empty component only adds the trailing "/".
    URL appendingPathComponent(std::string_view component) const;
    URL deletingLastPathComponent() const;

    // Equal when both the text and the base are equal, as the platform compares URLs.
    bool operator==(const URL& other) const;

    // Percent-encodes every byte outside the allowed set (all non-ASCII bytes), in upper-case hex.
    static std::string addingPercentEncoding(std::string_view text, const CharacterSet& allowed);
    // Decodes "%XX" escapes; none when an escape is malformed or the result is not UTF-8.
    static std::optional<std::string> removingPercentEncoding(std::string_view text);

    struct Parts {
        std::optional<std::string> scheme;
        std::optional<std::string> user;
        std::optional<std::string> password;
        std::optional<std::string> host;  // present exactly when the URL has an authority
        std::optional<int> port;
        std::string path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;

        std::string toString() const;
    };
    // Splits text into its components (no validation beyond the structure); none when the
    // authority or the port is malformed or a character is not allowed in a URL.
    static std::optional<Parts> parse(std::string_view text);
    // RFC 3986 resolution of a reference against an absolute base.
    static Parts resolve(const Parts& reference, const Parts& base);

private:
    URL() = default;

    std::string relative_;
    std::string absolute_;
    std::shared_ptr<const URL> base_;
    Parts parts_;  // of the resolved form
};

}  // namespace brindlecue::platform
