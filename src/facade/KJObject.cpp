#include "facade/KJObject.h"

#include <cstdio>

#include "network/KJHTTPSessionManager.h"
#include "network/KJJSONSessionManager.h"

namespace brindlecue {

namespace {

platform::Error objectError(const std::string& description) {
    return platform::Error::withDescription("KJErrorDomain", 0, description);
}

std::string filled(const std::string& format, const std::string& value) {
    std::string text = format;
    text.replace(text.find("%@"), 2, value);
    return text;
}

std::string describe(const platform::Value& value) {
    return value.isAbsent() ? "(null)" : value.description();
}

}  // namespace

std::string KJObject::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string text = "<";
    text += className();
    text += ": ";
    text += address;
    text += "> - suid: ";
    text += suid;
    return text;
}

namespace {

// The answer handling of a load and a save: a dictionary is read into the object, anything else
// is reported with the text's placeholder filled with the answer.
std::pair<KJHTTPSessionManager::Success, KJHTTPSessionManager::Failure> answerHandlers(
    std::shared_ptr<KJObject> self, KJObject::Completion completion, std::string wrongAnswerText) {
    auto success = [self, completion, wrongAnswerText](const auto&, const platform::Value& answer) {
        if (!answer.isDictionary()) {
            if (completion) completion(self, objectError(filled(wrongAnswerText, describe(answer))));
            return;
        }
        self->loadFromDictionary(answer);
        if (completion) completion(self, std::nullopt);
    };
    auto failure = [self, completion](const auto&, const platform::Error& error) {
        if (completion) completion(self, error);
    };
    return {success, failure};
}

}  // namespace

void KJObject::loadFromServer(Completion completion) {
    auto url = serverLoadURL();
    if (!url || url->empty()) {
        if (completion)
            completion(nullptr,
                       objectError(filled("Fail to get server load url: %@.", url.value_or("(null)"))));
        return;
    }
    auto [success, failure] =
        answerHandlers(shared_from_this(), completion, "Load from server get wrong result value: %@.");
    KJHTTPSessionManager::sharedInstance()->GET(*url, 1, platform::Value(), success, failure);
}

void KJObject::saveToServer(Completion completion) {
    auto url = serverSaveURL();
    if (!url || url->empty()) {
        if (completion)
            completion(nullptr,
                       objectError(filled("Fail to get server save url: %@.", url.value_or("(null)"))));
        return;
    }
    platform::Value body = saveBody();
    if (body.isNil()) {
        if (completion)
            completion(nullptr, objectError(filled("Fail to get server save body: %@.", "(null)")));
        return;
    }
    auto [success, failure] =
        answerHandlers(shared_from_this(), completion, "Save to server get wrong result value: %@.");
    KJJSONSessionManager::sharedInstance()->PATCH(*url, 3, body, success, failure);
}

}  // namespace brindlecue
