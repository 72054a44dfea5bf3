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
    return "<" + className() + ": " + address + "> - suid: " + suid;
}

void KJObject::loadFromServer(Completion completion) {
    auto url = serverLoadURL();
    if (!url || url->empty()) {
        if (completion)
            completion(nullptr,
                       objectError(filled("Fail to get server load url: %@.", url.value_or("(null)"))));
        return;
    }
    auto self = shared_from_this();
    KJHTTPSessionManager::sharedInstance()->GET(
        *url, 1, platform::Value(),
        [self, completion](const auto&, const platform::Value& answer) {
            if (!answer.isDictionary()) {
                if (completion)
                    completion(self, objectError(filled("Load from server get wrong result value: %@.",
                                                        describe(answer))));
                return;
            }
            self->loadFromDictionary(answer);
            if (completion) completion(self, std::nullopt);
        },
        [self, completion](const auto&, const platform::Error& error) {
            if (completion) completion(self, error);
        });
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
    auto self = shared_from_this();
    KJJSONSessionManager::sharedInstance()->PATCH(
        *url, 3, body,
        [self, completion](const auto&, const platform::Value& answer) {
            if (!answer.isDictionary()) {
                if (completion)
                    completion(self, objectError(filled("Save to server get wrong result value: %@.",
                                                        describe(answer))));
                return;
            }
            self->loadFromDictionary(answer);
            if (completion) completion(self, std::nullopt);
        },
        [self, completion](const auto&, const platform::Error& error) {
            if (completion) completion(self, error);
        });
}

}  // namespace brindlecue
