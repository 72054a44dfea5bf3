#include "presentation/KJTipLauncherElement.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "feed/BLQITipManager.h"
#include "feed/BLQITipTargetElement.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipUtil.h"
#include "feed/KJTipUtilFunctions.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/KJLog.h"
#include "imaging/KJFLAnimatedImage.h"
#include "imaging/KJFLAnimatedImageView.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIVisualEffectView.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQITipLauncherElement.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/UIImageQXColorTintColor.h"
#include "targeting/UIViewBrindlecueSDK.h"
#include "uikit-support/KJMASConstraintMaker.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {

using platform::CGRect;
using platform::UIView;
using platform::Value;

namespace {

constexpr int64_t kFAQListTag = 108102;
constexpr int32_t kLeft = 1;
constexpr int32_t kRight = 2;
constexpr int32_t kTop = 3;
constexpr int32_t kBottom = 4;

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

double sizeOrDefault(double value) {
    return value <= 0 ? KJTipLauncherElement::kDefaultSize : value;
}

// The launcher of the step's campaign; a campaign without one has a launcher of the default size
// and no icon, side or glow.
std::shared_ptr<const KJTipLauncherElement> launcherOf(const KJTipElement& tip) {
    auto series = tip.series.lock();
    if (auto launcher = std::dynamic_pointer_cast<KJTipLauncherElement>(series ? series->launcher : nullptr))
        return launcher;
    static const std::shared_ptr<const KJTipLauncherElement> none = [] {
        auto record = std::make_shared<KJTipLauncherElement>();
        record->width = record->height = KJTipLauncherElement::kDefaultSize;
        return record;
    }();
    return none;
}

bool targetIsArbitraryPosition(const KJTipElement& tip) {
    return tip.target && KJTipUtil::isArbitraryPosition(tip.target->valueForKey("control"));
}

bool classNameContains(const std::shared_ptr<UIView>& view, std::string_view part) {
    return view && view->className().find(part) != std::string::npos;
}

std::optional<platform::Data> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return platform::Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void setIcon(const std::shared_ptr<KJFLAnimatedImageView>& imageView,
             const std::shared_ptr<platform::UIButton>& button, const KJTipLauncherElement& launcher) {
    const std::string file = launcher.image.value_or("");
    const std::filesystem::path path(file);
    const std::string name = path.stem().string();
    const std::string ext = path.has_extension() ? path.extension().string().substr(1) : std::string();
    if (lowercase(ext) == "gif") {
        auto bundle = blqFindBundleForResource(name, ext, false);
        auto location = bundle ? bundle->pathForResource(name, ext) : std::nullopt;
        auto data = location ? readFile(*location) : std::nullopt;
        imageView->setAnimatedImage(data ? KJFLAnimatedImage::animatedImageWithGIFData(*data) : nullptr);
        imageView->setImage(nullptr);
        return;
    }
    auto image = file.empty() ? nullptr : KJTipDismissElement::iconImage(file);
    if (launcher.color && image) {
        const platform::UIColor tint(*launcher.color);
        image = UIImageQXColorTintColor::imageWithTint(
            image->imageWithRenderingMode(platform::UIImageRenderingMode::AlwaysTemplate), tint);
        button->setTitleColor(tint, platform::UIControlStateNormal);
        button->setTintColor(tint);
    }
    imageView->setImage(image);
    imageView->setAnimatedImage(nullptr);
}

// The icon view inside the button: held to the button's edges by the padding (the right and
// bottom constants are the padding itself, so they reach outward), with the frame that describes.
void pinIcon(const std::shared_ptr<platform::UIButton>& button, const std::shared_ptr<UIView>& imageView,
             const FourSide& padding) {
    UIViewKJMASAdditions::mas_updateConstraints(imageView, [&](KJMASConstraintMaker& make) {
        make.leading()->equalTo(UIViewKJMASAdditions::mas_leading(button))->offset(padding.left);
        make.top()->equalTo(UIViewKJMASAdditions::mas_top(button))->offset(padding.top);
        make.right()->equalTo(UIViewKJMASAdditions::mas_right(button))->offset(padding.right);
        make.bottom()->equalTo(UIViewKJMASAdditions::mas_bottom(button))->offset(padding.bottom);
    });
}

void placeIcon(const std::shared_ptr<platform::UIButton>& button, const std::shared_ptr<UIView>& imageView,
               const FourSide& padding) {
    const platform::CGSize size = button->bounds().size;
    imageView->setFrame(CGRect(padding.left, padding.top, size.width - padding.left + padding.right,
                               size.height - padding.top + padding.bottom));
}

// The target's frame in window coordinates; a navigation bar's frame is taken as it is.
CGRect targetFrameInWindow(const std::shared_ptr<UIView>& target) {
    if (!target) return CGRect();
    if (std::dynamic_pointer_cast<platform::UINavigationBar>(target)) return target->frame();
    auto superview = target->superview();
    return superview ? superview->convertRectToView(target->frame(), nullptr) : target->frame();
}

class LauncherElement final : public BLQITipLauncherElement {
public:
    std::shared_ptr<platform::UIButton> addLauncherForTip(const std::shared_ptr<KJTipElement>& firstStep,
                                                          const std::shared_ptr<UIView>& target) override {
        return KJTipLauncherElement::addLauncherForTip(firstStep, target);
    }
};

}  // namespace

const KJElementClass& KJTipLauncherElement::elementClass() {
    static const KJElementClass cls("KJTipLauncherElement", &KJTipBaseElement::elementClass(),
                                    KJPropertyTable<KJTipLauncherElement>()
                                        .text("image", &KJTipLauncherElement::image)
                                        .int32("placement", &KJTipLauncherElement::placement)
                                        .boolean("glowing", &KJTipLauncherElement::glowing)
                                        .real("width", &KJTipLauncherElement::width)
                                        .real("height", &KJTipLauncherElement::height)
                                        .color("color", &KJTipLauncherElement::color)
                                        .color("backgroundColor", &KJTipLauncherElement::backgroundColor)
                                        .fourSide("padding", &KJTipLauncherElement::padding)
                                        .fourSide("margin", &KJTipLauncherElement::margin)
                                        .build());
    return cls;
}

void KJTipLauncherElement::registerWithCampaignModel() {
    KJElementClass::registerFactories(
        KJTipSeriesElement::kLauncherClassName,
        {[](const Value& v) { return KJTipLauncherElement::createFromFeed(v); },
         [](const Value& v) { return KJTipLauncherElement::deserializeFromDictionary(v); }});
}

std::shared_ptr<BLQITipLauncherElement> KJTipLauncherElement::launcherElement() {
    return std::make_shared<LauncherElement>();
}

std::shared_ptr<KJTipLauncherElement> KJTipLauncherElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    auto record = std::make_shared<KJTipLauncherElement>();
    KJDocumentReader in(object, "KJTipLauncherElement");
    record->image = KJTipUtil::convertIconFromString(in.value("file-name"));
    record->placement = KJTipUtil::convertPlacementTypeFromString(in.value("placement"));
    record->glowing = in.boolean("glowing");
    record->width = sizeOrDefault(in.number("width"));
    record->height = sizeOrDefault(in.number("height"));
    record->color = in.color("color");
    record->backgroundColor = in.color("background-color");
    record->padding = {in.number("padding-top"), in.number("padding-bottom"), in.number("padding-left"),
                       in.number("padding-right")};
    record->margin = {in.number("margin-top"), in.number("margin-bottom"), in.number("margin-left"),
                      in.number("margin-right")};
    return record;
}

bool KJTipLauncherElement::storedForm(KJStoredForm& out) const {
    storedProperties(out);
    return true;
}

std::shared_ptr<KJTipLauncherElement> KJTipLauncherElement::deserializeFromDictionary(const Value& stored) {
    return deserializeProperties<KJTipLauncherElement>(stored);
}

bool KJTipLauncherElement::isEqual(const platform::NSObject* other) const {
    return isEqualWithExcludeProperties(other);
}

// ---------------------------------------------------------------- building

std::shared_ptr<platform::UIButton> KJTipLauncherElement::addLauncherForTip(
    const std::shared_ptr<KJTipElement>& tip, const std::shared_ptr<UIView>& target) {
    if (!tip) return nullptr;
    const auto launcher = launcherOf(*tip);
    auto button = platform::UIButton::buttonWithType(platform::UIButtonType::Custom);
    button->setTag(BLQITipLauncherElement::kLauncherTag);
    setBrindlecueLauncherID(*button, tip->feed_id);
    if (auto series = tip->series.lock()) series->triggerControl = button;

    auto imageView = platform::make<KJFLAnimatedImageView>();
    button->addSubview(imageView);
    setIcon(imageView, button, *launcher);

    placeButtonLauncherIntoViewHierarchy(button, target, tip);
    if (launcher->glowing) glowingWidget(button, platform::UIColor::blackColor(), true, false);
    const FourSide& p = launcher->padding;
    button->setContentEdgeInsets({p.top, p.left, p.bottom, p.right});
    pinIcon(button, imageView, p);
    try {
        adjustPositionButtonLuncher(button, target, tip);
    } catch (const std::exception& e) {
        KJLog(5, "cannot modify launcher button constraint, due to %@", std::string(e.what()));
    }
    placeIcon(button, imageView, p);
    return button;
}

// ---------------------------------------------------------------- insertion

std::shared_ptr<platform::UITableView> KJTipLauncherElement::findTableViewInHierarchy(
    const std::shared_ptr<UIView>& view) {
    for (auto v = view; v && !std::dynamic_pointer_cast<platform::UIWindow>(v); v = v->superview()) {
        if (auto table = std::dynamic_pointer_cast<platform::UITableView>(v)) return table;
    }
    return nullptr;
}

std::shared_ptr<platform::UICollectionView> KJTipLauncherElement::findCollectionViewInHierarchy(
    const std::shared_ptr<UIView>& view) {
    for (auto v = view; v && !std::dynamic_pointer_cast<platform::UIWindow>(v); v = v->superview()) {
        if (auto collection = std::dynamic_pointer_cast<platform::UICollectionView>(v)) return collection;
    }
    return nullptr;
}

void KJTipLauncherElement::placeButtonLauncherIntoViewHierarchy(
    const std::shared_ptr<platform::UIButton>& button, const std::shared_ptr<UIView>& target,
    const std::shared_ptr<KJTipElement>& tip) {
    if (!button || !tip) return;
    auto engine = BLQPublished<BLQITipManager>::get();
    auto lock = engine ? engine->showLauncherBtnClickLock() : nullptr;
    std::unique_lock<std::mutex> hold;
    if (lock) hold = std::unique_lock(*lock);

    auto table = findTableViewInHierarchy(target);
    auto collection = findCollectionViewInHierarchy(target);
    auto keyWindow = blqKeyWindow();
    std::vector<std::shared_ptr<UIView>> candidates;
    for (const auto& parent : std::vector<std::shared_ptr<UIView>>{table, collection, target, keyWindow}) {
        if (parent) candidates.insert(candidates.end(), parent->subviews().begin(), parent->subviews().end());
    }
    const std::string feedId = tip->feed_id.value_or("");
    for (const auto& candidate : candidates) {
        const auto launcherId = brindlecueLauncherID(*candidate);
        if (tip->feed_id && launcherId == tip->feed_id) {
            KJLog(2, "Preventing to display an already shown button launcher from feed: %@", feedId);
            return;
        }
    }
    if (target) target->setClipsToBounds(false);

    // Where the button goes; a window is added to, anything else added to and brought to front.
    std::shared_ptr<UIView> container;
    std::shared_ptr<UIView> below;
    bool tagged = false;
    if (targetIsArbitraryPosition(*tip) || classNameContains(target, "UI")) {
        auto host = engine ? engine->customerCurrentVC() : nullptr;
        auto hostView = host ? host->viewIfLoaded() : nullptr;
        container = hostView ? hostView->window() : nullptr;
    } else if (collection) {
        container = collection;
    } else if (table) {
        container = table;
    } else if (auto effect = std::dynamic_pointer_cast<platform::UIVisualEffectView>(target)) {
        container = effect->contentView();
    } else if (!classNameContains(target, "RCT")) {
        container = keyWindow;
        tagged = true;
    } else {
        std::shared_ptr<UIView> scrollView;
        std::shared_ptr<UIView> contentView;
        for (auto ancestor = target->superview(); ancestor; ancestor = ancestor->superview()) {
            if (!scrollView && ancestor->isKindOfClass("RCTCustomScrollView")) scrollView = ancestor;
            if (ancestor->isKindOfClass("RCTScrollContentView")) contentView = ancestor;
        }
        container = contentView ? contentView : scrollView;
        if (!container) {
            container = keyWindow;
            below = keyWindow ? keyWindow->viewWithTag(kFAQListTag) : nullptr;
            if (below && below->superview() != keyWindow) below = nullptr;
            tagged = true;
        }
    }
    if (!container) return;

    // The launcher's size at the target's origin in the container (the window's origin without a
    // target): every path gives the button a frame to be placed from.
    const auto launcher = launcherOf(*tip);
    platform::CGPoint origin;
    if (target) {
        auto superview = target->superview();
        origin = superview ? superview->convertRectToView(target->frame(), container).origin
                           : target->frame().origin;
    }
    button->setFrame(CGRect(origin.x, origin.y, launcher->width, launcher->height));
    if (below) {
        container->insertSubviewBelowSubview(button, below);
    } else {
        container->addSubview(button);
        container->bringSubviewToFront(button);
    }
    if (tagged) button->setTag(BLQITipLauncherElement::kLauncherTag);
}

// ---------------------------------------------------------------- positioning

void KJTipLauncherElement::adjustPositionButtonLuncher(const std::shared_ptr<platform::UIButton>& button,
                                                       const std::shared_ptr<UIView>& target,
                                                       const std::shared_ptr<KJTipElement>& tip) {
    if (!button || !tip) return;
    const auto launcher = launcherOf(*tip);
    const double W = launcher->width;
    const double PL = launcher->padding.left;
    const double PR = launcher->padding.right;
    const double ML = launcher->margin.left;
    const double MR = launcher->margin.right;
    const double MT = launcher->margin.top;
    const double SW = platform::UIScreen::mainScreen()->bounds().width();
    const CGRect inWindow = targetFrameInWindow(target);
    const double TX = inWindow.minX();
    const double TW = inWindow.width();
    const CGRect own = target ? target->frame() : CGRect();
    const double FW = own.width();
    const double FH = own.height();
    const CGRect b = button->frame();
    const double BX = b.minX(), BY = b.minY(), BW = b.width(), BH = b.height();

    const double room = W + PL + PR;
    const double centredY = BY + MT + FH / 2 - BH / 2;
    const double besideY = BH >= FH ? BY + MT - kGap : centredY;
    double x = BX;
    double y = BY;
    switch (launcher->placement) {
        case kLeft:
            if (TX - room - ML >= 0) {
                x = BX + ML - BW - kGap;
                y = besideY;
            } else {
                x = BX + ML - BW / 2;
                y = centredY;
            }
            break;
        case kRight:
            if (MR + room + TX + TW >= SW) {
                x = BX + ML + FW - BW / 2;
                y = centredY;
            } else {
                x = BX + ML + FW + kGap;
                y = besideY;
            }
            break;
        case kTop:
            x = BX + ML + FW / 2 - BW / 2;
            y = BY + MT - BH - kGap;
            break;
        case kBottom:
            x = BX + ML + FW / 2 - BW / 2;
            y = BY + MT + FH + kGap;
            break;
        default:
            return;
    }
    button->setFrame(CGRect(x, y, BW, BH));
}

}  // namespace brindlecue
