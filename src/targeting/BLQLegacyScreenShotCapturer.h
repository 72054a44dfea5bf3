#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class UIImage;
}  // namespace platform

// The author screenshot of the host screen on view, taken in preview mode from the overlay's
// menu and uploaded with the screen's target metadata.
//
// A capture dismisses the tip on screen, takes the screen's view name (the React Native view name
// of the tip engine, else the screen name of its host view controller; without one it warns the
// author and stops), removes the library's launchers, collects the author metadata, draws the
// present window at one pixel per point with the preview overlay hidden, compresses the drawing to
// JPEG of at most 300000 bytes where it can (quality 0.9 down to 0.1), keeps a copy as
// "screenshot.png" in the documents directory and posts a multipart form to "screenshots/": the
// image as "png_file" ("test.png", "image/png"), then "app_id", "app_key", "installid",
// "client_version", "development_platform", "qx_version", "vorneli_timestamp", "blq_timestamp",
// "operating_system", "device_name", "model", "width", "height", "orientation" (only for a
// portrait or landscape device), "view" and "json" (the metadata list). Success is shown in the
// preview overlay; a failure is sent as a user-event error and shown in an alert over the host
// screen. Without a window to draw, or an image that cannot be encoded, nothing is uploaded and the
// author is told. Main queue; keeps nothing between captures but the file.
class BLQLegacyScreenShotCapturer {
public:
    static constexpr uint64_t kMaxImageBytes = 300000;
    static constexpr int64_t kLauncherTag = 888900;
    static constexpr const char* kSupportContact = "support@brindlecue.com";
    static constexpr const char* kIntegrationDocs = "https://docs.brindlecue.com/mobile/integration";
    // The author metadata of the screen on view: one dictionary per target candidate.
    using AuthorMetaDataSource = std::function<platform::Array()>;

    static void captureScreenShot();
    // JPEG data at quality 0.9, lowered by 0.1 while it is longer than the maximum and the quality
    // is above 0.1 (nine encodings at most); the last encoding even when it is still too long.
    // None when the image cannot be encoded.
    static std::optional<platform::Data> compressImage(const std::shared_ptr<platform::UIImage>& image,
                                                       uint64_t maxSize);
    // An alert over the tip engine's host screen (or the key window's root screen) with the
    // actions "Debug Log" (writes the debug block) and "OK".
    static void showAlert(const std::string& title, const std::string& message);
    // Writes the integration facts to the legacy log.
    static void debugLog(const std::string& viewName);

    // The targeting layer installs the forest finder's author metadata here; without it a
    // screenshot carries an empty list.
    static void setAuthorMetaDataSource(AuthorMetaDataSource source);
};

}  // namespace brindlecue
