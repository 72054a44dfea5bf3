#include "feed/KJTipUtil.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

#include "foundation/BLQDeviceUtils.h"
#include "platform/Bundle.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSession.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

using platform::Value;

namespace {

// The word of a converter: text as it is; absent, null and anything else as the empty text,
// which no table maps.
std::string wordOf(const Value& value) {
    const std::string* text = value.getString();
    return text ? *text : std::string();
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The platform's single-precision reading of a number or of the number a text begins with.
float floatOf(const Value& value) {
    if (value.isNumber() || value.isString()) return static_cast<float>(value.doubleValue());
    return 0;
}

float floatOfText(std::string_view text) {
    return static_cast<float>(Value(text).doubleValue());
}

template <size_t N>
int32_t lookup(const std::array<std::pair<const char*, int32_t>, N>& table, const Value& word,
               int32_t fallback) {
    std::string w = wordOf(word);
    for (const auto& [name, number] : table) {
        if (w == name) return number;
    }
    return fallback;
}

struct Seams {
    std::mutex mutex;
    KJTipUtil::FontCatalog fonts;
    KJTipUtil::ImageDecoding images;
};

Seams& seams() {
    static auto* s = new Seams();  // kept through exit: image loads may still be running
    return *s;
}

KJTipUtil::FontCatalog fontCatalog() {
    std::lock_guard lock(seams().mutex);
    return seams().fonts;
}

KJTipUtil::ImageDecoding imageDecoding() {
    std::lock_guard lock(seams().mutex);
    return seams().images;
}

std::shared_ptr<platform::UIImage> imageFromBytes(const platform::Data& bytes) {
    auto decoding = imageDecoding();
    if (bytes.empty() || !decoding.imageWithData) return nullptr;
    return decoding.imageWithData(bytes);
}

std::shared_ptr<platform::UIImage> remoteImage(const std::string& source) {
    auto url = platform::URL::fromString(source);
    if (!url) return nullptr;
    if (lowercase(url->pathExtension()) == "gif") {
        auto decoding = imageDecoding();
        return decoding.animatedImageWithAnimatedGIFURL ? decoding.animatedImageWithAnimatedGIFURL(source)
                                                        : nullptr;
    }
    auto done = std::make_shared<platform::DispatchSemaphore>(0);
    auto bytes = std::make_shared<std::optional<platform::Data>>();
    auto task = platform::URLSession::shared()->dataTaskWithURL(
        *url,
        [done, bytes](std::optional<platform::Data> data, std::shared_ptr<platform::URLResponse> response,
                      std::optional<platform::Error> error) {
            // An error page is no image.
            auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
            bool ok = !http || (http->statusCode() >= 200 && http->statusCode() < 300);
            if (!error && ok) *bytes = std::move(data);
            done->signal();
        });
    task->resume();
    done->wait();
    return *bytes ? imageFromBytes(**bytes) : nullptr;
}

std::shared_ptr<platform::UIImage> bundleImage(const std::string& source) {
    std::filesystem::path file(source);
    std::string name = file.stem().string();
    std::string type = file.has_extension() ? file.extension().string().substr(1) : std::string();
    auto bundle = blqFindBundleForResource(name, type, false);
    if (!bundle) return nullptr;
    for (const char* scale : {"", "@3x", "@2x"}) {
        auto path = bundle->pathForResource(name + scale, type);
        if (!path) continue;
        std::ifstream in(*path, std::ios::binary);
        platform::Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return imageFromBytes(bytes);
    }
    return nullptr;
}

}  // namespace

// ---- Words ---------------------------------------------------------------------------------------

int32_t KJTipUtil::convertTipDisplayTypeFromArray(const Value& words) {
    const platform::Array* list = words.getArray();
    if (!list) return 0;
    int32_t bits = 0;
    for (const Value& word : *list) {
        std::string w = wordOf(word);
        if (w == "dom") bits |= 1;
        if (w == "faq") bits |= 2;
        if (w == "feed") bits |= 4;
    }
    return bits;
}

int32_t KJTipUtil::convertTipTypeFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 7> table{{{"tour", 1},
                                                                           {"tip", 2},
                                                                           {"modal", 3},
                                                                           {"coachmark", 4},
                                                                           {"feedback", 5},
                                                                           {"carousel", 6},
                                                                           {"fab", 7}}};
    return lookup(table, word, 0);
}

int32_t KJTipUtil::convertTriggerTypeFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 5> table{
        {{"page-open", 1}, {"click", 2}, {"button", 3}, {"on-demand", 4}, {"floating-action-button", 1}}};
    return lookup(table, word, 0);
}

int32_t KJTipUtil::convertPlacementTypeFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 4> table{
        {{"left", 1}, {"right", 2}, {"top", 3}, {"bottom", 4}}};
    return lookup(table, word, 0);
}

int32_t KJTipUtil::convertImageAlignmentFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 9> table{{{"left-top", 0},
                                                                           {"left-middle", 1},
                                                                           {"left-bottom", 2},
                                                                           {"center-top", 3},
                                                                           {"center-middle", 4},
                                                                           {"center-bottom", 5},
                                                                           {"right-top", 6},
                                                                           {"right-middle", 7},
                                                                           {"right-bottom", 8}}};
    return lookup(table, word, 3);
}

int32_t KJTipUtil::convertTipAnimationTypeFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 4> table{
        {{"fade", 1}, {"slide", 2}, {"explode", 3}, {"compress", 4}}};
    return lookup(table, word, 0);
}

int32_t KJTipUtil::convertTipAnimationDirectionFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 4> table{
        {{"left", 1}, {"top", 2}, {"right", 3}, {"bottom", 4}}};
    return lookup(table, word, 0);
}

int64_t KJTipUtil::convertTextAlignmentFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 3> table{
        {{"left", 0}, {"center", 1}, {"right", 2}}};
    return lookup(table, word, 0);
}

int32_t KJTipUtil::convertCoachmarkStyleFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 2> table{
        {{"circular", 1}, {"rectangular", 2}}};
    return lookup(table, word, 3);
}

int32_t KJTipUtil::convertCoachmarkDiffuseFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, int32_t>, 3> table{
        {{"none", 0}, {"gradient", 1}, {"blur", 2}}};
    return lookup(table, word, 0);
}

std::string KJTipUtil::convertIconFromString(const Value& word) {
    static constexpr std::array<std::pair<const char*, const char*>, 6> table{{
        {"alert", "alert-circled.png"},
        {"close", "close.png"},
        {"help", "help-circled.png"},
        {"information", "information-circled.png"},
        {"record", "record.png"},
        {"pulse", "animation-pulse.gif"},
    }};
    std::string w = lowercase(wordOf(word));
    for (const auto& [name, icon] : table) {
        if (w.find(name) != std::string::npos) return icon;
    }
    return "icon.png";
}

int64_t KJTipUtil::getButtonHorizontalAlignment(uint64_t textAlignment) {
    switch (textAlignment) {
        case 0:
            return 1;
        case 2:
            return 2;
        default:
            return 0;
    }
}

// ---- Positions and sizes -------------------------------------------------------------------------

bool KJTipUtil::isArbitraryPosition(const Value& text) {
    return wordOf(text).starts_with("point_");
}

platform::CGPoint KJTipUtil::parseArbitraryPosition(const Value& text,
                                                    const std::shared_ptr<platform::UIView>& view) {
    if (!isArbitraryPosition(text)) return {0, 0};
    std::string rest = wordOf(text);
    for (size_t at = rest.find("point_"); at != std::string::npos; at = rest.find("point_"))
        rest.erase(at, 6);
    size_t split = rest.find('_');
    if (split == std::string::npos) return {0, 0};
    std::string xText = rest.substr(0, split);
    std::string yText = rest.substr(split + 1);

    // The screen's bounds in the space of the root view of the view's window; nothing to convert
    // into gives a zero size.
    platform::CGSize reference{0, 0};
    auto window = view ? view->window() : nullptr;
    auto root = window ? window->rootViewController() : nullptr;
    if (root) {
        if (auto rootView = root->view()) {
            reference =
                rootView->convertRectFromView(platform::UIScreen::mainScreen()->bounds(), nullptr).size;
        }
    }
    auto coordinate = [](const std::string& part, double extent) -> float {
        if (endsWith(part, "%")) {
            return static_cast<float>(extent *
                                      floatOfText(std::string_view(part).substr(0, part.size() - 1)) / 100);
        }
        return floatOfText(part);
    };
    return {coordinate(xText, reference.width), coordinate(yText, reference.height)};
}

double KJTipUtil::parseDPOrPercentage(const Value& value) {
    if (const std::string* text = value.getString(); text && endsWith(*text, "%")) {
        return static_cast<double>(floatOfText(std::string_view(*text).substr(0, text->size() - 1))) / 100.0;
    }
    return floatOf(value);
}

double KJTipUtil::getSizeFromDPOrPercentage(const Value& value, double containerSize) {
    if (const std::string* text = value.getString(); text && endsWith(*text, "%")) {
        return static_cast<double>(floatOfText(std::string_view(*text).substr(0, text->size() - 1))) / 100.0 *
               containerSize;
    }
    return floatOf(value);
}

double KJTipUtil::maxCornerRadius(platform::CGSize size, double cornerRadius) {
    return std::min(std::min(size.width, size.height) / 2, cornerRadius);
}

// ---- Fonts ---------------------------------------------------------------------------------------

void KJTipUtil::setFontCatalog(FontCatalog catalog) {
    std::lock_guard lock(seams().mutex);
    seams().fonts = std::move(catalog);
}

std::string KJTipUtil::isMonoTypeFont(const std::string& fontName) {
    for (const char* family : {"Arial", "Courier", "Times"}) {
        if (fontName.find(family) != std::string::npos) return "mt";
    }
    return "";
}

std::string KJTipUtil::searchAdditionalFontKeys(const std::string& fontName) {
    return lowercase(fontName) == "times" ? "Times New Roman" : "";
}

platform::UIFont KJTipUtil::getFontFromName(const Value& name, double size, const Value& weight) {
    if (size <= 0) size = platform::UIFont::systemFontSize();
    int64_t weightNumber = weight.isNumber() || weight.isString() ? weight.integerValue() : 0;
    bool bold = weightNumber >= 1 ? weightNumber > 400 : lowercase(wordOf(weight)) == "bold";
    auto systemFont = [&] {
        return bold ? platform::UIFont::boldSystemFontOfSize(size) : platform::UIFont::systemFontOfSize(size);
    };

    std::string fontName = wordOf(name.isArray() ? name[0] : name);
    if (fontName.empty()) return systemFont();

    FontCatalog catalog = fontCatalog();
    auto exists = [&](const std::string& candidate) {
        return !candidate.empty() && (!catalog.fontExists || catalog.fontExists(candidate));
    };
    if (!bold || fontName.find('-') != std::string::npos ||
        lowercase(fontName).find("bold") != std::string::npos) {
        return exists(fontName) ? platform::UIFont::fontWithName(fontName, size) : systemFont();
    }

    std::vector<std::string> faces;
    if (catalog.fontNamesForFamilyName) {
        faces = catalog.fontNamesForFamilyName(fontName);
        std::string alias = searchAdditionalFontKeys(fontName);
        if (faces.empty() && !alias.empty()) faces = catalog.fontNamesForFamilyName(alias);
    }
    std::string suffix = "-bold" + isMonoTypeFont(fontName);
    std::string winner;
    std::string remembered;
    for (const std::string& face : faces) {
        std::string lower = lowercase(face);
        if (endsWith(lower, suffix)) {
            winner = face;
            break;
        }
        if (lower.find("bold") != std::string::npos) remembered = face;
    }
    for (const std::string* candidate : {&winner, &remembered}) {
        if (exists(*candidate)) return {*candidate, size, true};
    }
    return exists(fontName) ? platform::UIFont::fontWithName(fontName, size) : systemFont();
}

// ---- Raw ids -------------------------------------------------------------------------------------

std::string KJTipUtil::removeExceptionForRawId(const std::string& rawId) {
    static constexpr std::array<const char*, 1> exceptions{"@UITransitionView"};
    std::string id = rawId;
    for (std::string_view entry : exceptions) {
        for (size_t start = id.find(entry); start != std::string::npos; start = id.find(entry)) {
            size_t end = id.find('@', start + entry.size());
            std::string cut = id.substr(start, end == std::string::npos ? std::string::npos : end - start);
            for (size_t at = id.find(cut); at != std::string::npos; at = id.find(cut))
                id.erase(at, cut.size());
        }
    }
    return id;
}

// ---- Images --------------------------------------------------------------------------------------

void KJTipUtil::setImageDecoding(ImageDecoding decoding) {
    std::lock_guard lock(seams().mutex);
    seams().images = std::move(decoding);
}

void KJTipUtil::prepareImageWithSource(const Value& source, ImageCallback callback) {
    std::string text = wordOf(source);
    if (text.starts_with("http")) {
        platform::DispatchQueue::global(platform::DispatchQueue::Priority::High)
            ->async([text, source, callback = std::move(callback)] {
                auto image = remoteImage(text);
                if (callback) callback(image, source, std::nullopt);
            });
        return;
    }
    if (!text.empty()) {
        auto image = bundleImage(text);
        if (callback) callback(image, source, std::nullopt);
        return;
    }
    if (callback) {
        callback(
            nullptr, source,
            platform::Error::withDescription("KJErrorDomain", 0, "Unknown image source to prepare image."));
    }
}

}  // namespace brindlecue
