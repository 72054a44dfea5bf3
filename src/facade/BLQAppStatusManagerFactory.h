#pragma once

#include <memory>

namespace brindlecue {

class BLQIAppStatusManager;
class BLQIConfigEventManager;
class BLQIConfigManager;
class BLQIFeedManager;
class BLQIInstallRegistrationManager;
class BLQIPreviewModeManager;
class BLQISessionManager;
class BLQITargetingAlgorithm;
class BLQITipManager;
class BLQIUpdateRegistrationManager;
class BLQIUserEventManager;

// The factory classes through which the facade obtains the newer layer's services. Each resolves
// its interface from the shared dependency container, so it must not be called before the
// dependency composer has run (an unknown interface stops the process). Whether a call gives the
// same object every time follows from the composer's singleton flags. The tag manager's, the
// client-side trigger manager's and the custom guide helper's factories live beside those.

class BLQAppStatusManagerFactory {
public:
    // A new manager over new dependencies (its own fetcher and fetch handler); not registered in
    // the container.
    static std::shared_ptr<BLQIAppStatusManager> createAppStatusManager();
};

class BLQConfigManagerFactory {
public:
    static std::shared_ptr<BLQIConfigManager> createConfigManager();
};

class BLQConfigEventManagerFactory {
public:
    static std::shared_ptr<BLQIConfigEventManager> createConfigEventManager();
};

class BLQInstallRegistrationManagerFactory {
public:
    static std::shared_ptr<BLQIInstallRegistrationManager> createInstallRegistrationManager();
};

class BLQSessionManagerFactory {
public:
    static std::shared_ptr<BLQISessionManager> createSessionManager();
};

class BLQUpdateRegistrationManagerFactory {
public:
    static std::shared_ptr<BLQIUpdateRegistrationManager> createUpdateRegistrationManager();
};

class BLQUserEventManagerFactory {
public:
    static std::shared_ptr<BLQIUserEventManager> createUserEventManager();
};

class BLQFeedManagerFactory {
public:
    static std::shared_ptr<BLQIFeedManager> createFeedManager();
};

class BLQPreviewModeManagerFactory {
public:
    static std::shared_ptr<BLQIPreviewModeManager> createPreviewModeManager();
};

class BLQTipManagerFactory {
public:
    // The tip engine, once it has been given the preview tip cache.
    static std::shared_ptr<BLQITipManager> createTipManager();
};

class BLQTargetingAlgorithManager {
public:
    static std::shared_ptr<BLQITargetingAlgorithm> createTargetingAlgorithmManager();
};

}  // namespace brindlecue
