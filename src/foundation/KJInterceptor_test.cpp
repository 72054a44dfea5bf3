// The interceptor between an object and the two parties that want its delegate's messages.

#include "foundation/KJInterceptor.h"

#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/foundation/NSUserActivity.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using platform::ClassRegistry;
using platform::UIApplication;
using platform::Value;

// A responder that implements the selectors registered under its class name, and writes down every
// message that reaches it as "<name> <message>". Launching and opening answer what it is told.
class Responder final : public platform::UIApplicationDelegate,
                        public platform::UIAlertViewDelegate,
                        public platform::UIActionSheetDelegate {
public:
    Responder(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
    std::string className() const override { return name_; }

    bool answer = true;
    std::shared_ptr<platform::UIWindow> ownWindow;

    bool applicationWillFinishLaunchingWithOptions(UIApplication&, const Value& options) override {
        return note("willFinishLaunching " + options["k"].stringValue()), answer;
    }
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& options) override {
        return note("didFinishLaunching " + options["k"].stringValue()), answer;
    }
    void applicationWillResignActive(UIApplication&) override { note("willResignActive"); }
    void applicationDidEnterBackground(UIApplication&) override { note("didEnterBackground"); }
    void applicationWillEnterForeground(UIApplication&) override { note("willEnterForeground"); }
    void applicationDidBecomeActive(UIApplication&) override { note("didBecomeActive"); }
    void applicationWillTerminate(UIApplication&) override { note("willTerminate"); }
    void applicationDidReceiveMemoryWarning(UIApplication&) override { note("memoryWarning"); }
    void applicationSignificantTimeChange(UIApplication&) override { note("timeChange"); }
    bool applicationOpenURLOptions(UIApplication&, const std::string& url, const Value&) override {
        return note("openURL " + url), answer;
    }
    bool applicationOpenURLSourceApplicationAnnotation(UIApplication&, const std::string& url,
                                                       const std::string& source, const Value&) override {
        return note("openURLFrom " + source + " " + url), answer;
    }
    bool applicationHandleOpenURL(UIApplication&, const std::string& url) override {
        return note("handleOpenURL " + url), answer;
    }
    bool applicationContinueUserActivityRestorationHandler(
        UIApplication&, const std::shared_ptr<platform::NSUserActivity>& activity,
        std::function<void(const std::vector<Value>&)> restore) override {
        note("continue " + activity->activityType());
        if (restore) restore({});
        return answer;
    }
    void applicationDidRegisterUserNotificationSettings(UIApplication&, const Value& settings) override {
        note("settings " + settings["types"].stringValue());
    }
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(
        UIApplication&, const std::vector<uint8_t>& token) override {
        note("token " + std::to_string(token.size()));
    }
    void applicationDidFailToRegisterForRemoteNotificationsWithError(UIApplication&,
                                                                     const platform::Error& error) override {
        note("tokenFailed " + std::to_string(error.code()));
    }
    void applicationDidReceiveRemoteNotification(UIApplication&, const Value& payload) override {
        note("remote " + payload["id"].stringValue());
    }
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        UIApplication&, const Value& payload, std::function<void(int64_t)> done) override {
        note("remoteFetch " + payload["id"].stringValue());
        done(1);
    }
    void applicationHandleActionWithIdentifierForRemoteNotification(UIApplication&, const std::string& action,
                                                                    const Value&,
                                                                    std::function<void()> done) override {
        note("remoteAction " + action);
        done();
    }
    void applicationDidReceiveLocalNotification(UIApplication&, const Value& notification) override {
        note("local " + notification["id"].stringValue());
    }
    void applicationHandleActionWithIdentifierForLocalNotification(UIApplication&, const std::string& action,
                                                                   const Value&,
                                                                   std::function<void()> done) override {
        note("localAction " + action);
        done();
    }
    void applicationPerformFetchWithCompletionHandler(UIApplication&,
                                                      std::function<void(int64_t)> done) override {
        note("fetch");
        done(0);
    }
    std::shared_ptr<platform::UIWindow> window() const override {
        note("window");
        return ownWindow;
    }
    void alertViewClickedButtonAtIndex(platform::UIAlertView&, int64_t index) override {
        note("alertClicked " + std::to_string(index));
    }
    void alertViewWillPresent(platform::UIAlertView&) override { note("alertWillPresent"); }
    void alertViewDidPresent(platform::UIAlertView&) override { note("alertDidPresent"); }
    void alertViewWillDismissWithButtonIndex(platform::UIAlertView&, int64_t index) override {
        note("alertWillDismiss " + std::to_string(index));
    }
    void alertViewDidDismissWithButtonIndex(platform::UIAlertView&, int64_t index) override {
        note("alertDidDismiss " + std::to_string(index));
    }
    void actionSheetClickedButtonAtIndex(platform::UIActionSheet&, int64_t index) override {
        note("sheetClicked " + std::to_string(index));
    }
    void actionSheetWillDismissWithButtonIndex(platform::UIActionSheet&, int64_t index) override {
        note("sheetWillDismiss " + std::to_string(index));
    }
    void actionSheetDidDismissWithButtonIndex(platform::UIActionSheet&, int64_t index) override {
        note("sheetDidDismiss " + std::to_string(index));
    }

private:
    void note(const std::string& message) const { log_->push_back(name_ + " " + message); }
    std::string name_;
    std::vector<std::string>* log_;
};

const std::vector<std::string>& everySelector() {
    static const std::vector<std::string> all{
        "application:willFinishLaunchingWithOptions:",
        "application:didFinishLaunchingWithOptions:",
        "applicationWillResignActive:",
        "applicationDidEnterBackground:",
        "applicationWillEnterForeground:",
        "applicationDidBecomeActive:",
        "applicationWillTerminate:",
        "applicationDidReceiveMemoryWarning:",
        "applicationSignificantTimeChange:",
        "application:openURL:options:",
        "application:openURL:sourceApplication:annotation:",
        "application:handleOpenURL:",
        "application:continueUserActivity:restorationHandler:",
        "application:didRegisterUserNotificationSettings:",
        "application:didRegisterForRemoteNotificationsWithDeviceToken:",
        "application:didFailToRegisterForRemoteNotificationsWithError:",
        "application:didReceiveRemoteNotification:",
        "application:didReceiveRemoteNotification:fetchCompletionHandler:",
        "application:handleActionWithIdentifier:forRemoteNotification:completionHandler:",
        "application:didReceiveLocalNotification:",
        "application:handleActionWithIdentifier:forLocalNotification:completionHandler:",
        "application:performFetchWithCompletionHandler:",
        "window",
        "alertView:clickedButtonAtIndex:",
        "willPresentAlertView:",
        "didPresentAlertView:",
        "alertView:willDismissWithButtonIndex:",
        "alertView:didDismissWithButtonIndex:",
        "actionSheet:clickedButtonAtIndex:",
        "actionSheet:willDismissWithButtonIndex:",
        "actionSheet:didDismissWithButtonIndex:",
    };
    return all;
}

// Sends every message the interceptor stands in for, once, and counts the completions called.
struct Delivery {
    std::vector<bool> answers;
    int completions = 0;
    std::shared_ptr<platform::UIWindow> window;
};

Delivery deliverEverything(KJInterceptor& interceptor) {
    auto app = UIApplication::sharedApplication();
    Delivery out;
    const Value options = Value::dictionary({{"k", "v"}});
    out.answers.push_back(interceptor.applicationWillFinishLaunchingWithOptions(*app, options));
    out.answers.push_back(interceptor.applicationDidFinishLaunchingWithOptions(*app, options));
    interceptor.applicationWillResignActive(*app);
    interceptor.applicationDidEnterBackground(*app);
    interceptor.applicationWillEnterForeground(*app);
    interceptor.applicationDidBecomeActive(*app);
    interceptor.applicationWillTerminate(*app);
    interceptor.applicationDidReceiveMemoryWarning(*app);
    interceptor.applicationSignificantTimeChange(*app);
    out.answers.push_back(interceptor.applicationOpenURLOptions(*app, "a://1", Value()));
    out.answers.push_back(
        interceptor.applicationOpenURLSourceApplicationAnnotation(*app, "a://2", "mail", Value()));
    out.answers.push_back(interceptor.applicationHandleOpenURL(*app, "a://3"));
    auto activity = std::make_shared<platform::NSUserActivity>("browse");
    out.answers.push_back(interceptor.applicationContinueUserActivityRestorationHandler(
        *app, activity, [&](const std::vector<Value>&) { ++out.completions; }));
    interceptor.applicationDidRegisterUserNotificationSettings(*app, Value::dictionary({{"types", 7}}));
    interceptor.applicationDidRegisterForRemoteNotificationsWithDeviceToken(*app, {1, 2, 3});
    interceptor.applicationDidFailToRegisterForRemoteNotificationsWithError(*app, platform::Error("Push", 3));
    interceptor.applicationDidReceiveRemoteNotification(*app, Value::dictionary({{"id", "r1"}}));
    interceptor.applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        *app, Value::dictionary({{"id", "r2"}}), [&](int64_t) { ++out.completions; });
    interceptor.applicationHandleActionWithIdentifierForRemoteNotification(*app, "reply", Value(),
                                                                           [&] { ++out.completions; });
    interceptor.applicationDidReceiveLocalNotification(*app, Value::dictionary({{"id", "l1"}}));
    interceptor.applicationHandleActionWithIdentifierForLocalNotification(*app, "snooze", Value(),
                                                                          [&] { ++out.completions; });
    interceptor.applicationPerformFetchWithCompletionHandler(*app, [&](int64_t) { ++out.completions; });
    out.window = interceptor.window();
    auto alert = platform::make<platform::UIAlertView>(std::nullopt, std::nullopt, nullptr, "OK",
                                                       std::vector<std::string>{});
    interceptor.alertViewClickedButtonAtIndex(*alert, 1);
    interceptor.alertViewWillPresent(*alert);
    interceptor.alertViewDidPresent(*alert);
    interceptor.alertViewWillDismissWithButtonIndex(*alert, 2);
    interceptor.alertViewDidDismissWithButtonIndex(*alert, 3);
    auto sheet = platform::make<platform::UIActionSheet>(std::nullopt, nullptr, "Cancel", std::nullopt,
                                                         std::vector<std::string>{});
    interceptor.actionSheetClickedButtonAtIndex(*sheet, 4);
    interceptor.actionSheetWillDismissWithButtonIndex(*sheet, 5);
    interceptor.actionSheetDidDismissWithButtonIndex(*sheet, 6);
    return out;
}

const std::vector<std::string> kEveryMessage{"willFinishLaunching v",
                                             "didFinishLaunching v",
                                             "willResignActive",
                                             "didEnterBackground",
                                             "willEnterForeground",
                                             "didBecomeActive",
                                             "willTerminate",
                                             "memoryWarning",
                                             "timeChange",
                                             "openURL a://1",
                                             "openURLFrom mail a://2",
                                             "handleOpenURL a://3",
                                             "continue browse",
                                             "settings 7",
                                             "token 3",
                                             "tokenFailed 3",
                                             "remote r1",
                                             "remoteFetch r2",
                                             "remoteAction reply",
                                             "local l1",
                                             "localAction snooze",
                                             "fetch",
                                             "window",
                                             "alertClicked 1",
                                             "alertWillPresent",
                                             "alertDidPresent",
                                             "alertWillDismiss 2",
                                             "alertDidDismiss 3",
                                             "sheetClicked 4",
                                             "sheetWillDismiss 5",
                                             "sheetDidDismiss 6"};

std::vector<std::string> prefixed(const std::string& name, const std::vector<std::string>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(name + " " + m);
    return out;
}

class KJInterceptorTest : public testing::Test {
protected:
    void SetUp() override {
        ClassRegistry::registerClass("InterceptedHost", "NSObject");
        ClassRegistry::addMethods("InterceptedHost", everySelector());
        ClassRegistry::registerClass("InterceptedNobody", "NSObject");
        ClassRegistry::registerClass("InterceptedHalf", "NSObject");
        ClassRegistry::addMethods(
            "InterceptedHalf", {"application:didFinishLaunchingWithOptions:", "application:openURL:options:",
                                "window", "alertView:clickedButtonAtIndex:"});
        interceptor = platform::make<KJInterceptor>();
    }
    std::vector<std::string> log;
    std::shared_ptr<KJInterceptor> interceptor;
};

TEST_F(KJInterceptorTest, EveryMessageReachesTheSecondResponderOnceWhenTheFirstDoesNotImplementIt) {
    auto first = std::make_shared<Responder>("InterceptedNobody", &log);
    auto host = std::make_shared<Responder>("InterceptedHost", &log);
    host->answer = true;
    host->ownWindow = platform::make<platform::UIWindow>();
    interceptor->setFirstResponder(first);
    interceptor->setSecondResponder(host);

    auto delivered = deliverEverything(*interceptor);
    EXPECT_EQ(log, prefixed("InterceptedHost", kEveryMessage));
    EXPECT_EQ(delivered.completions, 5) << "each completion once, by the host";
    EXPECT_EQ(delivered.answers, std::vector<bool>(6, true));
    EXPECT_EQ(delivered.window, host->ownWindow);
    for (const auto& selector : everySelector()) {
        EXPECT_TRUE(interceptor->respondsToSelector(selector)) << selector;
        EXPECT_EQ(interceptor->forwardingTargetForSelector(selector), host) << selector;
    }

    // What the host answers comes back as it is.
    log.clear();
    host->answer = false;
    delivered = deliverEverything(*interceptor);
    EXPECT_EQ(delivered.answers, std::vector<bool>(6, false));
}

TEST_F(KJInterceptorTest, TheFirstResponderWinsWhereItImplementsAMessageAndTheHostGetsTheRest) {
    auto first = std::make_shared<Responder>("InterceptedHalf", &log);
    first->answer = false;
    auto host = std::make_shared<Responder>("InterceptedHost", &log);
    interceptor->setFirstResponder(first);
    interceptor->setSecondResponder(host);

    auto delivered = deliverEverything(*interceptor);
    std::vector<std::string> expected = prefixed("InterceptedHost", kEveryMessage);
    expected[1] = "InterceptedHalf didFinishLaunching v";
    expected[9] = "InterceptedHalf openURL a://1";
    expected[22] = "InterceptedHalf window";
    expected[23] = "InterceptedHalf alertClicked 1";
    EXPECT_EQ(log, expected);
    EXPECT_EQ(delivered.answers, (std::vector<bool>{true, false, false, true, true, true}));
    EXPECT_EQ(delivered.window, nullptr) << "the first responder's window, which it has not";
    EXPECT_EQ(interceptor->forwardingTargetForSelector("application:openURL:options:"), first);
    EXPECT_EQ(interceptor->forwardingTargetForSelector("applicationDidBecomeActive:"), host);
}

TEST_F(KJInterceptorTest, WithoutAnyoneImplementingAMessageNothingIsCalledAndTheDefaultsAnswer) {
    auto first = std::make_shared<Responder>("InterceptedNobody", &log);
    auto second = std::make_shared<Responder>("InterceptedNobody", &log);
    interceptor->setFirstResponder(first);
    interceptor->setSecondResponder(second);
    EXPECT_FALSE(interceptor->respondsToSelector("application:openURL:options:"));
    EXPECT_EQ(interceptor->forwardingTargetForSelector("application:openURL:options:"), nullptr);

    // The application's messages go to the second responder's own methods; the alert's go nowhere.
    auto delivered = deliverEverything(*interceptor);
    std::vector<std::string> applicationMessages(kEveryMessage.begin(), kEveryMessage.begin() + 23);
    EXPECT_EQ(log, prefixed("InterceptedNobody", applicationMessages));

    // With neither responder left, launching goes on, nothing opens and no completion runs.
    log.clear();
    first.reset();
    second.reset();
    EXPECT_EQ(interceptor->firstResponder(), nullptr);
    EXPECT_EQ(interceptor->secondResponder(), nullptr);
    delivered = deliverEverything(*interceptor);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(delivered.answers, (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(delivered.completions, 0);
}

TEST_F(KJInterceptorTest, ItNeverBecomesItsOwnResponderAndTheSecondIsNeverTheFirst) {
    auto first = std::make_shared<Responder>("InterceptedHalf", &log);
    auto host = std::make_shared<Responder>("InterceptedHost", &log);
    interceptor->setFirstResponder(interceptor);
    EXPECT_EQ(interceptor->firstResponder(), nullptr);
    interceptor->setFirstResponder(first);
    interceptor->setSecondResponder(host);
    interceptor->setSecondResponder(first);
    interceptor->setSecondResponder(interceptor);
    EXPECT_EQ(interceptor->firstResponder(), first);
    EXPECT_EQ(interceptor->secondResponder(), host);

    // A host that is gone is passed over: only the first responder's messages are answered.
    host.reset();
    EXPECT_EQ(interceptor->secondResponder(), nullptr);
    EXPECT_TRUE(interceptor->respondsToSelector("application:openURL:options:"));
    EXPECT_FALSE(interceptor->respondsToSelector("applicationDidBecomeActive:"));
    interceptor->applicationDidBecomeActive(*UIApplication::sharedApplication());
    EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace brindlecue
