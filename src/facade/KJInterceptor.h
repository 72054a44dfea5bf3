#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIAlertView.h"

namespace brindlecue {

// A proxy between an object that has one delegate and two parties that both want its messages:
// each message goes to the first responder when it implements it (respondsToSelector), else to
// the second. Both are held weakly; whoever installs the interceptor keeps it alive.
//
// The platform forwards any message; here the interceptor implements, for each delegate
// interface it stands in for, every method by passing it on that way. It stands in for the
// delegates of legacy alerts and action sheets.
class KJInterceptor : public platform::NSObject,
                      public platform::UIAlertViewDelegate,
                      public platform::UIActionSheetDelegate {
public:
    void didConstruct() override;
    std::string className() const override { return "KJInterceptor"; }

    std::shared_ptr<platform::NSObject> firstResponder() const { return firstResponder_.lock(); }
    // The interceptor itself is ignored.
    void setFirstResponder(const std::shared_ptr<platform::NSObject>& responder);
    std::shared_ptr<platform::NSObject> secondResponder() const { return secondResponder_.lock(); }
    // The interceptor itself and the current first responder are ignored.
    void setSecondResponder(const std::shared_ptr<platform::NSObject>& responder);

    // True when the first or the second responder responds, else for the interceptor's own.
    bool respondsToSelector(std::string_view selector) const override;
    // The first responder when it responds, else the second when it does, else none.
    std::shared_ptr<platform::NSObject> forwardingTargetForSelector(std::string_view selector) const;

    // ---- UIAlertViewDelegate
    void alertViewClickedButtonAtIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;
    void alertViewWillPresent(platform::UIAlertView& alertView) override;
    void alertViewDidPresent(platform::UIAlertView& alertView) override;
    void alertViewWillDismissWithButtonIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;
    void alertViewDidDismissWithButtonIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;

    // ---- UIActionSheetDelegate
    void actionSheetClickedButtonAtIndex(platform::UIActionSheet& actionSheet, int64_t buttonIndex) override;
    void actionSheetWillDismissWithButtonIndex(platform::UIActionSheet& actionSheet,
                                               int64_t buttonIndex) override;
    void actionSheetDidDismissWithButtonIndex(platform::UIActionSheet& actionSheet,
                                              int64_t buttonIndex) override;

private:
    template <class Protocol>
    std::shared_ptr<Protocol> target(std::string_view selector) const {
        return std::dynamic_pointer_cast<Protocol>(forwardingTargetForSelector(selector));
    }

    std::weak_ptr<platform::NSObject> firstResponder_;
    std::weak_ptr<platform::NSObject> secondResponder_;
};

}  // namespace brindlecue
