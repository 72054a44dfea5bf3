#include "facade/BLQInstallValidator.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <initializer_list>
#include <optional>

namespace brindlecue {

namespace {

// The first of the keys whose value is text.
std::optional<std::string> firstText(const platform::Value& answer, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        if (const std::string* text = answer[key].getString()) return *text;
    return std::nullopt;
}

// Locale-independent Unicode lower case.
std::string lowercased(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

}  // namespace

bool BLQInstallValidator::validateResponse(const platform::Value& received, const BLQInstallDTO* sent,
                                           const std::string& prefix) const {
    auto refuse = [this](const std::string& message) {
        log(message, BLQLoggingLevel::error);
        return false;
    };
    if (!sent)
        return refuse("Install/Update: No install sent - this should never happen - received: " +
                      received.description());

    auto receivedId = firstText(received, {"id", "installid"});
    if (!receivedId)
        return refuse(prefix + ": Received no install ID from successful response from server, aborting");
    if (!sent->installId)
        return refuse(
            prefix +
            ": No install ID sent to server, should have returned an error, but came back successfully, "
            "aborting");
    if (lowercased(*receivedId) != lowercased(*sent->installId))
        return refuse(prefix + ": Incorrect install ID received from server, sent: " + *sent->installId +
                      ", but received: " + *receivedId);

    auto operatingSystem = firstText(received, {"operating_system"});
    if (!operatingSystem)
        return refuse(prefix +
                      ": Received no Operating System from successful response from server, aborting");
    if (lowercased(*operatingSystem) != "ios")
        return refuse(prefix +
                      ": Incorrect Operating System received from server, received: " + *operatingSystem);

    auto receivedVersion = firstText(received, {"sdk_version", "blq_version", "qx_version"});
    if (!receivedVersion)
        return refuse(prefix + ": Received no Sdk Version from successful response from server, aborting");
    if (!sent->sdkVersion)
        return refuse(prefix +
                      ": No Sdk Version sent to server, should have returned an error, but came back "
                      "successfully, aborting");
    if (lowercased(*receivedVersion) != lowercased(*sent->sdkVersion))
        return refuse(prefix + ": Incorrect Sdk Version received from server, sent: " + *sent->sdkVersion +
                      ", but received: " + *receivedVersion);
    return true;
}

}  // namespace brindlecue
