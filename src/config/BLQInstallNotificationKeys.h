#pragma once

namespace brindlecue {

// Names of the notifications posted after an install registration or update, and the keys of
// their user info.
class BLQInstallNotificationKeys {
public:
    static constexpr const char* installSuccessNotification = "KJInstallRegistrationSuccessNotification";
    static constexpr const char* installFailureNotification = "KJInstallRegistrationFailureNotification";
    static constexpr const char* updateSuccessNotification = "KJInstallUpdateSuccessNotification";
    static constexpr const char* updateFailureNotification = "KJInstallUpdateFailureNotification";
    // User-info key of the install.
    static constexpr const char* install = "Install";
    // User-info key of the error.
    static constexpr const char* error = "Error";

    BLQInstallNotificationKeys() = delete;
};

}  // namespace brindlecue
