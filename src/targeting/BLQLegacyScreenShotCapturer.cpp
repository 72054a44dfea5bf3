#include "targeting/BLQLegacyScreenShotCapturer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "config/BLQAppDetailsProvider.h"
#include "config/BLQUtilsFacade.h"
#include "events/BLQIUserEventManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/BLQITipViewController.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/KJLog.h"
#include "foundation/UIDeviceKJExt.h"
#include "network/KJHTTPSessionManager.h"
#include "platform/AppContainer.h"
#include "platform/Date.h"
#include "platform/TestingReset.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "storage/KJDBSettings.h"

namespace brindlecue {

namespace fs = std::filesystem;
using platform::Data;
using platform::Value;

namespace {

constexpr const char* kScreenshotsPath = "screenshots/";
constexpr int64_t kHostVersion = 3;
constexpr const char* kScreenshotFile = "screenshot.png";
constexpr const char* kTargetAlgoVersion = "3.0.0";

struct MetaDataLink {
    std::mutex mutex;
    BLQLegacyScreenShotCapturer::AuthorMetaDataSource source;
};

MetaDataLink& metaDataLink() {
    static auto* link = new MetaDataLink();  // lives for the process
    return *link;
}

platform::Array authorMetaData() {
    BLQLegacyScreenShotCapturer::AuthorMetaDataSource source;
    {
        std::lock_guard lock(metaDataLink().mutex);
        source = metaDataLink().source;
    }
    return source ? source() : platform::Array();
}

// The screen name of a controller: its class name, or in a React Native host the native id its
// view's content view carries.
std::string screenNameOf(const std::shared_ptr<platform::UIViewController>& controller) {
    std::weak_ptr<platform::UIViewController> weak = controller;
    return blqAppendUniqueSuffix(controller->className(), [weak]() -> std::optional<std::string> {
        auto strong = weak.lock();
        auto view = strong ? strong->viewIfLoaded() : nullptr;
        auto content =
            view ? std::dynamic_pointer_cast<platform::UIView>(view->performSelector("contentView")) : nullptr;
        return content ? findNativeID(content) : std::nullopt;
    });
}

std::string viewNameFor(const std::shared_ptr<BLQITipManager>& engine,
                        const std::shared_ptr<platform::UIViewController>& controller) {
    auto reactNative = engine ? engine->currentRCTViewName() : std::nullopt;
    if (reactNative && !reactNative->empty()) return *reactNative;
    return controller ? screenNameOf(controller) : std::string();
}

// As the platform's file byte counts read: "512 bytes", "245 KB", "1.2 MB".
std::string byteCountText(size_t bytes) {
    char text[32];
    if (bytes < 1000) {
        std::snprintf(text, sizeof text, "%zu bytes", bytes);
    } else if (bytes < 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.0f KB", static_cast<double>(bytes) / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    }
    return text;
}

void sendError(const std::string& description) {
    if (auto events = BLQPublished<BLQIUserEventManager>::get()) events->sendUserEventErrorWithMessage("Screenshot failed", description);
}

std::shared_ptr<BLQIPreviewModeManager> previewMode() {
    return BLQPublished<BLQIPreviewModeManager>::get();
}

// Written whole beside the file, then moved over it.
void writeCopy(const Data& data) {
    fs::path directory = platform::AppContainer::documentsDirectory();
    std::error_code ec;
    fs::create_directories(directory, ec);
    fs::path target = directory / kScreenshotFile;
    fs::path temporary = directory / (std::string(".") + kScreenshotFile + ".partial");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!out) {
            fs::remove(temporary, ec);
            return;
        }
    }
    fs::rename(temporary, target, ec);
    KJLog(2, "Generate Brindlecue author screenshot at %@", directory.string());
}

void removeLaunchers(const std::shared_ptr<BLQITipManager>& engine) {
    auto keyWindow = blqKeyWindow();
    auto launcher = keyWindow ? keyWindow->viewWithTag(BLQLegacyScreenShotCapturer::kLauncherTag) : nullptr;
    if (engine) engine->removeFAQLauncher();
    if (!launcher) return;
    const auto subviews = keyWindow->subviews();
    for (const auto& view : subviews) {
        if (view && view->tag() == BLQLegacyScreenShotCapturer::kLauncherTag &&
            std::dynamic_pointer_cast<platform::UIButton>(view)) {
            view->removeFromSuperview();
        }
    }
}

std::shared_ptr<platform::UIImage> drawWindow(const std::shared_ptr<platform::UIWindow>& window) {
    if (auto preview = previewMode()) preview->togglePreviewModeView(true);
    platform::RunLoop::main().runOnce();
    const platform::CGRect bounds = window->bounds();
    platform::UIGraphicsBeginImageContextWithOptions(bounds.size, false, 1.0);
    window->drawViewHierarchyInRect(bounds, true);
    auto image = platform::UIGraphicsGetImageFromCurrentImageContext();
    platform::UIGraphicsEndImageContext();
    if (auto preview = previewMode()) preview->togglePreviewModeView(false);
    return image;
}

void appendText(KJAFMultipartFormData& form, const std::string& name, const std::string& text) {
    form.appendPartWithFormData(Data(text.begin(), text.end()), name);
}

std::optional<std::string> orientationText() {
    switch (platform::UIDevice::currentDevice()->orientation()) {
        case platform::UIDeviceOrientation::Portrait:
        case platform::UIDeviceOrientation::PortraitUpsideDown: return "portrait";
        case platform::UIDeviceOrientation::LandscapeLeft:
        case platform::UIDeviceOrientation::LandscapeRight: return "landscape";
        default: return std::nullopt;
    }
}

// The text the failure alert shows: the error's description, or the "detail" of the JSON object
// it holds; anything about the token becomes the advice to fetch it again.
std::string failureMessage(const platform::Error& error) {
    std::string message = error.localizedDescription();
    Value parsed = blqParseObjectToDict(Value(message));
    if (const std::string* detail = parsed["detail"].getString()) message = *detail;
    if (message.find("token") != std::string::npos) message = "Please get token from dashboard again.";
    return message;
}

void upload(const Data& image, const std::string& viewName, const platform::Array& metaData,
            std::weak_ptr<platform::UIViewController> hostScreen) {
    BLQAppDetailsProvider details;
    auto appId = details.appId();
    const std::string appIdText = appId ? std::to_string(*appId) : std::string();
    const std::string appKey = details.appKey().value_or("");
    const std::string installId = details.installId().value_or("");
    const std::string clientVersion = details.clientVersion();
    const std::string platformName = details.developmentPlatform();
    const std::string version = details.sdkVersion();
    const std::string model = UIDeviceKJExt::platformString();
    const platform::CGRect screen = platform::UIScreen::mainScreen()->bounds();
    const std::string json = Value(metaData).toJSON().value_or("");
    const auto orientation = orientationText();

    KJHTTPSessionManager::sharedInstance()->POST(
        kScreenshotsPath, kHostVersion,
        [=](KJAFMultipartFormData& form) {
            form.appendPartWithFileData(image, "png_file", "test.png", "image/png");
            appendText(form, "app_id", appIdText);
            appendText(form, "app_key", appKey);
            appendText(form, "installid", installId);
            appendText(form, "client_version", clientVersion);
            appendText(form, "development_platform", platformName);
            appendText(form, "qx_version", version);
            appendText(form, "vorneli_timestamp", blqFormatISODate(platform::Date::now()));
            appendText(form, "blq_timestamp", blqFormatISODate(platform::Date::now()));
            appendText(form, "operating_system", "ios");
            appendText(form, "device_name", model);
            appendText(form, "model", model);
            appendText(form, "width", std::to_string(static_cast<int32_t>(screen.size.width)));
            appendText(form, "height", std::to_string(static_cast<int32_t>(screen.size.height)));
            if (orientation) appendText(form, "orientation", *orientation);
            appendText(form, "view", viewName);
            appendText(form, "json", json);
        },
        [](const std::shared_ptr<platform::URLSessionTask>&, const Value&) {
            if (auto preview = previewMode()) preview->receiveUpdated(BLQPreviewModeNotificationState::screenshotsuccess, "");
        },
        [viewName, hostScreen](const std::shared_ptr<platform::URLSessionTask>&, const platform::Error& error) {
            sendError(KJLogFormat("Failed to post the screenshot to the server. View name: %@, Error: %@",
                                  {viewName, error.localizedDescription()}));
            std::string message = failureMessage(error);
            platform::DispatchQueue::main()->async([hostScreen, message] {
                auto screen = hostScreen.lock();
                if (!screen) return;
                auto alert = platform::UIAlertController::alertControllerWithTitle(
                    "Brindlecue screenshot failed", message, platform::UIAlertControllerStyle::Alert);
                alert->addAction(platform::UIAlertAction::actionWithTitle(
                    "OK", platform::UIAlertActionStyle::Default, [](platform::UIAlertAction&) {
                        if (auto preview = previewMode()) preview->checkIfPreviewModeIsRequiredOrNot(nullptr);
                    }));
                screen->presentViewController(alert, true);
            });
        });
}

}  // namespace

void BLQLegacyScreenShotCapturer::setAuthorMetaDataSource(AuthorMetaDataSource source) {
    platform::TestingReset::add("BLQLegacyScreenShotCapturer", [] {
        std::lock_guard lock(metaDataLink().mutex);
        metaDataLink().source = nullptr;
    });
    std::lock_guard lock(metaDataLink().mutex);
    metaDataLink().source = std::move(source);
}

void BLQLegacyScreenShotCapturer::captureScreenShot() {
    auto engine = BLQPublished<BLQITipManager>::get();
    if (auto tip = engine ? engine->currentTipViewController() : nullptr) tip->dismissTipWithRemoveCoverView(true, true, nullptr);

    auto hostScreen = engine ? engine->customerCurrentVC() : nullptr;
    const std::string viewName = viewNameFor(engine, hostScreen);
    if (hostScreen) {
        KJLog(2, "customer VC name: %@", hostScreen->className());
    } else {
        KJLog(2, "customer VC is empty");
    }
    KJLog(2, "view name for the screenshot %@", viewName);
    if (viewName.empty()) {
        showAlert("Warning",
                  std::string("Brindlecue SDK is not integrated correctly (view name missing), Please double check the "
                              "integration steps and/or contact ") +
                      kSupportContact + " if you need more help.");
        debugLog(viewName);
        return;
    }

    removeLaunchers(engine);
    auto window = blqGetPresentWindow();
    platform::RunLoop::main().runOnce();
    const platform::Array metaData = authorMetaData();
    KJLog(2, "Submit author meta: %ld - %@.", metaData.size(), Value(metaData));

    // Without a window of the plain class there is nothing to draw.
    std::optional<Data> data = window ? compressImage(drawWindow(window), kMaxImageBytes) : std::nullopt;
    if (!data) {
        showAlert("Screenshot failed", "Failed to take screenshot");
        sendError(KJLogFormat(
            "Failed to take the screenshot or failed to compress the screenshot sufficiently. View name: %@", {viewName}));
        return;
    }
    writeCopy(*data);
    KJLog(2, "Screenshot size is:  %@", byteCountText(data->size()));
    upload(*data, viewName, metaData, hostScreen);
}

std::optional<Data> BLQLegacyScreenShotCapturer::compressImage(const std::shared_ptr<platform::UIImage>& image,
                                                               uint64_t maxSize) {
    if (!image) return std::nullopt;
    float quality = 0.9f;
    std::optional<Data> data = platform::UIImageJPEGRepresentation(image, quality);
    while (data && data->size() > maxSize && quality > 0.1f) {
        quality -= 0.1f;
        data = platform::UIImageJPEGRepresentation(image, quality);
    }
    return data;
}

void BLQLegacyScreenShotCapturer::showAlert(const std::string& title, const std::string& message) {
    auto engine = BLQPublished<BLQITipManager>::get();
    auto presenter = engine ? engine->customerCurrentVC() : nullptr;
    if (!presenter) {
        auto keyWindow = blqKeyWindow();
        presenter = keyWindow ? keyWindow->rootViewController() : nullptr;
    }
    if (!presenter) return;
    auto alert = platform::UIAlertController::alertControllerWithTitle(title, message,
                                                                        platform::UIAlertControllerStyle::Alert);
    alert->addAction(platform::UIAlertAction::actionWithTitle(
        "Debug Log", platform::UIAlertActionStyle::Default, [](platform::UIAlertAction&) { debugLog(""); }));
    alert->addAction(platform::UIAlertAction::actionWithTitle("OK", platform::UIAlertActionStyle::Cancel, nullptr));
    presenter->presentViewController(alert, true);
}

void BLQLegacyScreenShotCapturer::debugLog(const std::string& viewName) {
    BLQAppDetailsProvider details;
    KJLog(2, "===============Brindlecue Debug log Start=================");
    KJLog(2, "Integration Docs: %@", kIntegrationDocs);
    KJLog(2, "App Key : %@", details.appKey().value_or(""));
    KJLog(2, "View/Controller Name : %@", viewName);
    KJLog(2, "Current Install ID : %@", details.installId().value_or(""));
    KJLog(2, "Client Version : %@", details.clientVersion());
    KJLog(2, "Brindlecue Version : %@", details.sdkVersion());
    KJLog(2, "Development Platfrom : %d", details.developmentPlatform());
    KJLog(2, "Model: %@", UIDeviceKJExt::platformString());
    KJLog(2, "System Version: %@", platform::UIDevice::currentDevice()->systemVersion());
    KJLog(2, "Target Algo Version %@", kTargetAlgoVersion);
    KJLog(2, "DB Path: %@ ", KJDBSettings::databasePath());
    KJLog(2, "===============Brindlecue Debug log End=================");
}

}  // namespace brindlecue
