#include "targeting/UIViewBrindlecueSDK.h"

#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

namespace {

std::optional<std::string> mark(const platform::UIView& view, const char* key) {
    platform::Value value = view.associatedValue(key);
    if (const std::string* text = value.getString()) return *text;
    return std::nullopt;
}

void setMark(platform::UIView& view, const char* key, const std::optional<std::string>& text) {
    view.setAssociatedValue(key, text ? platform::Value(*text) : platform::Value());
}

}  // namespace

std::optional<std::string> brindlecueLauncherID(const platform::UIView& view) {
    return mark(view, "brindlecueLauncherID");
}
void setBrindlecueLauncherID(platform::UIView& view, const std::optional<std::string>& text) {
    setMark(view, "brindlecueLauncherID", text);
}
std::optional<std::string> brindlecueWidgetType(const platform::UIView& view) {
    return mark(view, "brindlecueWidgetType");
}
void setBrindlecueWidgetType(platform::UIView& view, const std::optional<std::string>& text) {
    setMark(view, "brindlecueWidgetType", text);
}
std::optional<std::string> brindlecueWidgetIndex(const platform::UIView& view) {
    return mark(view, "brindlecueWidgetIndex");
}
void setBrindlecueWidgetIndex(platform::UIView& view, const std::optional<std::string>& text) {
    setMark(view, "brindlecueWidgetIndex", text);
}
std::optional<std::string> brindlecueWidgetAncestor(const platform::UIView& view) {
    return mark(view, "brindlecueWidgetAncestor");
}
void setBrindlecueWidgetAncestor(platform::UIView& view, const std::optional<std::string>& text) {
    setMark(view, "brindlecueWidgetAncestor", text);
}

bool isDisplayedInScreen(const platform::UIView& view) {
    platform::CGRect frame = view.frame();
    if (frame.isEmpty() || frame.isNull()) return false;
    if (view.isHidden()) return false;
    if (!view.superview()) return false;
    if (frame.size == platform::CGSize{}) return false;
    platform::CGRect onScreen = frame.intersection(platform::UIScreen::mainScreen()->bounds());
    if (onScreen.isEmpty() || onScreen.isNull()) return false;
    if (view.alpha() == 0) return false;
    return !ancestorHasAlphaZero(view);
}

bool ancestorHasAlphaZero(const platform::UIView& view) {
    for (auto current = view.superview(); current;) {
        if (current->alpha() == 0) return true;
        current = current->superview();
        if (current && current->className() == "RCTRootContentView") return false;
    }
    return false;
}

}  // namespace brindlecue
