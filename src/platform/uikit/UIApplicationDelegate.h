#pragma once

#include <memory>
#include <string>

#include "platform/Value.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class UIApplication;
class UIWindow;

// The application's delegate. Every method is optional: the defaults do nothing (and answer
// true for launching, false for opening a URL). A delegate that wants callers to know which
// methods it implements overrides respondsToSelector or registers its methods with the
// ClassRegistry under its class name.
class UIApplicationDelegate : public UIResponder {
public:
    virtual bool applicationWillFinishLaunchingWithOptions(UIApplication&, const Value& options) {
        return true;
    }
    virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& options) {
        return true;
    }
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
    virtual void applicationDidReceiveMemoryWarning(UIApplication&) {}
    virtual void applicationSignificantTimeChange(UIApplication&) {}
    // A URL handed to the app by the system.
    virtual bool applicationOpenURLOptions(UIApplication&, const std::string& url, const Value& options) {
        return false;
    }
    // The delegate's "window" property.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

}  // namespace brindlecue::platform
