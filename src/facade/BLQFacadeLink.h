#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/BLQLogRoute.h"

namespace brindlecue {

class BLQIConfigManager;
class BLQIFeedExt;
class BLQILoggerManager;
class BLQIPreviewModeManager;
class BLQITargetingAlgorithm;
class BLQITipManager;
class BLQIUserEventManager;

// What the layers below the facade need of it: its logger manager and its user-event manager (the
// logging chain), its configuration manager (the HTTP client's 429 handler), whether its
// preview-mode manager is in preview mode (the app-status manager's poll interval), and its tip
// manager and targeting algorithm (the targeting layer), and its feed-result reporting (a web
// tip's page).
// The facade publishes each here as soon as it has built it, and marks the time during which it
// is being built with a ConstructionScope. The layers below read what is published where they
// can reach it: BLQPublished of the interface, BLQLogRoute and BLQPreviewModeCheck.
class BLQFacadeLink {
public:
    using ConstructionScope = BLQLogRoute::ConstructionScope;

    static bool isFacadeUnderConstruction();

    static void setLoggerManager(std::shared_ptr<BLQILoggerManager> manager);
    static std::shared_ptr<BLQILoggerManager> loggerManager();
    static void setUserEventManager(std::shared_ptr<BLQIUserEventManager> manager);
    static std::shared_ptr<BLQIUserEventManager> userEventManager();
    static void setConfigManager(std::shared_ptr<BLQIConfigManager> manager);
    static std::shared_ptr<BLQIConfigManager> configManager();
    // The facade publishes how to ask its preview-mode manager; the check runs on the caller's
    // thread, outside any lock of the link.
    static void setPreviewModeCheck(std::function<bool()> check);
    // False while no check is published.
    static bool isInPreviewMode();

    // The facade's `tipManager` and `targetingAlgo`; none until published.
    static void setTipManager(std::shared_ptr<BLQITipManager> manager);
    static std::shared_ptr<BLQITipManager> tipManager();
    static void setTargetingAlgo(std::shared_ptr<BLQITargetingAlgorithm> algorithm);
    static std::shared_ptr<BLQITargetingAlgorithm> targetingAlgo();

    // The facade's feed reports (widget host, web tips) and its preview-mode manager; none until
    // published.
    static void setFeedExt(std::shared_ptr<BLQIFeedExt> feedExt);
    static std::shared_ptr<BLQIFeedExt> feedExt();
    static void setPreviewModeManager(std::shared_ptr<BLQIPreviewModeManager> manager);
    static std::shared_ptr<BLQIPreviewModeManager> previewModeManager();

    // The facade's logToConsoleAtLevel:withFormattedMessage: hands the message and level
    // unchanged to the logger manager, on the caller's thread.
    static void logToConsoleAtLevel(int64_t level, const std::string& message);
    // Whether a message at the level would be handed on and taken by a logger now.
    static bool wouldLogAtLevel(int64_t level);
};

}  // namespace brindlecue
