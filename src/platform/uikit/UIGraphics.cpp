#include "platform/uikit/UIGraphics.h"

#include <vector>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue::platform {
namespace {

struct Entry {
    std::shared_ptr<CGContext> context;
    bool imageContext;
};

std::vector<Entry>& stack() {
    thread_local std::vector<Entry> entries;
    return entries;
}

}  // namespace

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale) {
    if (scale <= 0) scale = UIScreen::mainScreen()->scale();
    auto ctx = CGContext::createImageContext(size, opaque, scale);
    if (ctx) stack().push_back({ctx, true});
}

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    auto& s = stack();
    if (s.empty() || !s.back().imageContext) return nullptr;
    return UIImage::imageWithCGImage(s.back().context->makeImage(), s.back().context->scale());
}

void UIGraphicsEndImageContext() {
    auto& s = stack();
    if (!s.empty() && s.back().imageContext) s.pop_back();
}

std::shared_ptr<CGContext> UIGraphicsGetCurrentContext() {
    auto& s = stack();
    return s.empty() ? nullptr : s.back().context;
}

void UIGraphicsPushContext(const std::shared_ptr<CGContext>& context) {
    if (context) stack().push_back({context, false});
}

void UIGraphicsPopContext() {
    auto& s = stack();
    if (!s.empty() && !s.back().imageContext) s.pop_back();
}

void UIRectFill(const CGRect& rect) {
    if (auto ctx = UIGraphicsGetCurrentContext()) ctx->fillRect(rect);
}

}  // namespace brindlecue::platform
