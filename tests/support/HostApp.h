#pragma once

// A host app as the platform runs it, against the sample server: its information property list
// names the server and its version, it has a key window with a root screen, it starts the library
// with nothing but the facade's start method and an app key, and it runs its main queue while time
// passes on the virtual clock. A relaunch forgets everything a process keeps in memory and keeps
// what the app container holds on disk.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "facade/Brindlecue.h"
#include "platform/Bundle.h"
#include "platform/TestingReset.h"
#include "platform/Value.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sample-server/SampleServer.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQCoreDataUserEventDataStore.h"
#include "storage/BLQUserEventDTO.h"
#include "support/BackgroundWork.h"
#include "support/ConfigStoreLaunch.h"
#include "support/SampleRoutes.h"
#include "support/UserEventPipeline.h"

namespace brindlecue::testsupport {

class HostApp {
public:
    static constexpr const char* kAppKey = "app-key-1";

    HostApp() {
        platform::Clock::useVirtual();
        server.start();
        answerAsTheServer();
        setVersion("2.4.1", "77");
    }
    ~HostApp() {
        settle();
        if (window) window->setHidden(true);
    }

    // The routes of a server that knows the app: installs are accepted as sent (with app id
    // 4711), the feed, logs and tags answer, and the app status is empty.
    void answerAsTheServer() {
        auto installs = route("POST", "/v3/installs", 201, R"({"app_id": 4711})");
        installs.echoFields = {"id", "operating_system", "blq_version", "qx_version"};
        server.addRoute(installs);
        auto updates = route("PATCH", "/v3/installs/.*", 200, R"({"app_id": 4711})");
        updates.echoFields = {"id", "operating_system", "blq_version", "qx_version"};
        server.addRoute(updates);
        server.addRoute(route("GET", "/v3/feeds", 200, R"({"results": []})"));
        server.addRoute(route("POST", "/v3/logs", 200, "{}"));
        server.addRoute(route("*", "/v3/tags.*", 200, "{}"));
        server.addRoute(route("GET", "/v3/apps/.*/status", 200, R"({"app_status": {}})"));
    }

    void setVersion(const std::string& version, const std::string& build) {
        platform::Bundle::createMainBundle({{"BLQ_CONFIG_ALIVE_HOST", server.baseURL()},
                                            {platform::Bundle::kNameKey, "Host"},
                                            {platform::Bundle::kShortVersionStringKey, version},
                                            {platform::Bundle::kVersionKey, build}});
    }

    // The app launches with a root screen in its key window.
    void launch(std::shared_ptr<platform::UIViewController> root = nullptr) {
        window = platform::make<platform::UIWindow>();
        rootController = root ? root : platform::make<platform::UIViewController>();
        window->setRootViewController(rootController);
        window->makeKeyAndVisible();
        facade = Brindlecue::sharedInstance();
        platform::UIApplication::sharedApplication()->finishLaunching();
        platform::RunLoop::main().runUntilIdle();
    }

    // The start call; true once its completion ran.
    bool start(const std::string& appKey = kAppKey) {
        auto started = std::make_shared<std::atomic<bool>>(false);
        facade->registerInstallForApp(appKey, false, [started] { *started = true; });
        return pumpUntil([started] { return started->load(); });
    }

    // Runs the main queue and moves the clock on in small steps (while real threads answer) until
    // the condition holds or some real seconds have passed.
    bool pumpUntil(const std::function<bool()>& condition, double realSeconds = 20) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (platform::RunLoop::main().runUntil(condition, 0.02)) return true;
            platform::Clock::advance(0.1);
        }
        return condition();
    }

    // Lets the work of the recent calls finish: stores written, main queue drained.
    void settle() {
        for (int i = 0; i < 5; ++i) {
            settleConfigStore();
            platform::Clock::advance(0.1);
            platform::RunLoop::main().runUntil([] { return false; }, 0.02);
        }
    }

    // A new process of the same app over the same container. The work of the old one ends
    // first (its answers from the server included), as it would with the old process.
    void relaunch() {
        settle();
        if (window) window->setHidden(true);
        letBackgroundWorkEnd();
        facade.reset();
        platform::TestingReset::runAll();
        platform::RunLoop::main().runUntilIdle();
    }

    std::vector<std::shared_ptr<BLQUserEventDTO>> storedEvents() {
        settleConfigStore();
        auto store = std::make_shared<BLQCoreDataUserEventDataStore>(
            BLQCoreData::sharedInstance().backgroundContext());
        return storedUserEvents(store);
    }
    std::vector<std::shared_ptr<BLQUserEventDTO>> storedEvents(int64_t code) {
        std::vector<std::shared_ptr<BLQUserEventDTO>> out;
        for (const auto& event : storedEvents())
            if (rawValue(event->code) == code) out.push_back(event);
        return out;
    }
    bool hasStoredEvent(int64_t code, const std::string& message) {
        for (const auto& event : storedEvents(code))
            if (event->message == message) return true;
        return false;
    }

    // The user-event records the server received, in order.
    std::vector<platform::Value> uploadedEvents() {
        std::vector<platform::Value> out;
        for (const auto& entry : server.journal()) {
            if (entry.method != "POST" || entry.path != "/v3/logs") continue;
            auto body = platform::Value::fromJSON(entry.body);
            if (!body) continue;
            if (const auto* records = (*body)["records"].getArray())
                for (const auto& record : *records) out.push_back(record);
        }
        return out;
    }
    std::vector<platform::Value> uploaded(int64_t code) {
        std::vector<platform::Value> out;
        for (const auto& record : uploadedEvents())
            if (record["code"].integerValue() == code) out.push_back(record);
        return out;
    }
    size_t requests(const std::string& method, const std::string& pathPrefix) {
        size_t count = 0;
        for (const auto& entry : server.journal())
            if (entry.method == method && entry.path.rfind(pathPrefix, 0) == 0) ++count;
        return count;
    }

    sampleserver::SampleServer server;
    std::shared_ptr<Brindlecue> facade;
    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIViewController> rootController;
};

}  // namespace brindlecue::testsupport
