#include "platform/Error.h"

#include <utility>

namespace brindlecue::platform {

Error::Error(std::string domain, int64_t code, Value userInfo, std::shared_ptr<const Error> underlying)
    : domain_(std::move(domain)),
      code_(code),
      userInfo_(userInfo.isDictionary() ? std::move(userInfo) : Value::dictionary()),
      underlying_(std::move(underlying)) {}

Error Error::withDescription(std::string domain, int64_t code, const std::string& description) {
    return Error(std::move(domain), code, Value::dictionary({{kLocalizedDescriptionKey, description}}));
}

std::string Error::localizedDescription() const {
    if (const std::string* text = userInfo_[kLocalizedDescriptionKey].getString()) return *text;
    return "The operation couldn’t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string Error::description() const {
    return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() +
           "\" UserInfo=" + userInfo_.description();
}

}  // namespace brindlecue::platform
