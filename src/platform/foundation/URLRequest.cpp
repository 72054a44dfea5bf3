#include "platform/foundation/URLRequest.h"

#include <algorithm>
#include <cctype>

namespace brindlecue::platform {

bool headerNameEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

URLRequest::URLRequest(std::optional<URL> url, CachePolicy cachePolicy, std::optional<double> timeoutInterval)
    : url_(std::move(url)), timeout_(timeoutInterval), cachePolicy_(cachePolicy) {}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
    for (const auto& [name, value] : headers_) {
        if (headerNameEquals(name, field)) return value;
    }
    return std::nullopt;
}

void URLRequest::setValue(const std::optional<std::string>& value, std::string_view field) {
    auto it = std::find_if(headers_.begin(), headers_.end(), [&](const auto& h) { return headerNameEquals(h.first, field); });
    if (it == headers_.end()) {
        if (value) headers_.emplace_back(std::string(field), *value);
        return;
    }
    if (value) {
        it->second = *value;
        ++it;
    }
    headers_.erase(std::remove_if(it, headers_.end(), [&](const auto& h) { return headerNameEquals(h.first, field); }),
                   headers_.end());
}

void URLRequest::addValue(const std::string& value, std::string_view field) {
    auto existing = valueForHTTPHeaderField(field);
    setValue(existing ? *existing + "," + value : value, field);
}

void URLRequest::setAllHTTPHeaderFields(HTTPHeaderFields fields) {
    headers_.clear();
    for (auto& [name, value] : fields) setValue(value, name);
}

void URLRequest::setHTTPBody(std::optional<Data> body) {
    body_ = std::move(body);
    if (body_) bodyStream_.reset();
}

void URLRequest::setHTTPBodyStream(std::shared_ptr<InputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_.reset();
}

std::string URLRequest::description() const {
    return "<NSURLRequest> { URL: " + (url_ ? url_->absoluteString() : std::string("(null)")) + " }";
}

}  // namespace brindlecue::platform
