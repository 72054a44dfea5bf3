#include "feed/KJTipElement.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "feed/BLQITipTargetElement.h"
#include "feed/KJDocumentReader.h"
#include "feed/KJOverlay.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipCoachmarkElement.h"
#include "feed/KJTipFeedbackElement.h"
#include "feed/KJTipInteractions.h"
#include "feed/KJTipTextElement.h"
#include "feed/KJTipUtil.h"
#include "feed/KJTipWebElement.h"
#include "platform/SystemLog.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue {

using platform::Value;

namespace {

const KJTipBaseElement::Exclusions kExclusions{
    "series", "viewController", "targetControl", "target",    "arrayImages", "title",    "content",  "prev",
    "next",   "dismiss",        "web",           "coachmark", "carousel",    "feedback", "animation"};

constexpr PointerParams kDefaultPointer{15, 10, 0};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A size and its unit: "PERCENTAGE" for text ending in "%" (the size is then a fraction), "DP" for
// any other value that is there (null included), "EMPTY" when the key is missing.
void readSize(const KJDocumentReader& in, std::string_view key, double& size,
              std::optional<std::string>& unit) {
    const Value& v = in.value(key);
    size = in.size(key);
    if (const std::string* text = v.getString(); text && text->ends_with('%')) {
        unit = "PERCENTAGE";
    } else if (v.isNil() ? in.has(key) : (v.isNumber() || v.isString())) {
        unit = "DP";
    } else {
        unit = "EMPTY";
    }
}

// The step's size in whole points for its buttons; a fraction is taken of the screen's width or
// height. A size beyond the 64-bit range (a document may give any number) is held to it, as a
// number's integer value is.
int64_t containerExtent(double size, const std::optional<std::string>& unit, double screenExtent) {
    double points = unit == "PERCENTAGE" ? screenExtent * size : size;
    return Value(points).integerValue();
}

std::string pointerKey(const char* field) {
    return std::string("pointerParams.") + field;
}

platform::SystemLog& consoleLog() {
    static platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

}  // namespace

const KJElementClass& KJTipElement::elementClass() {
    static const KJElementClass cls(
        "KJTipElement", &KJTipBaseElement::elementClass(),
        KJPropertyTable<KJTipElement>()
            .text("suid", &KJTipElement::suid)
            .text("feed_id", &KJTipElement::feed_id)
            .text("campaignid", &KJTipElement::campaignid)
            .int32("tipType", &KJTipElement::tipType)
            .text("view", &KJTipElement::view)
            .other("target", "KJTipTargetElement")
            .int32("placement", &KJTipElement::placement)
            .real("delaySeconds", &KJTipElement::delaySeconds)
            .fourSide("padding", &KJTipElement::padding)
            .fourSide("margin", &KJTipElement::margin)
            .real("boxShadow", &KJTipElement::boxShadow)
            .color("backgroundColor", &KJTipElement::backgroundColor)
            .color("borderColor", &KJTipElement::borderColor)
            .real("borderWidth", &KJTipElement::borderWidth)
            .real("borderCornerRadius", &KJTipElement::borderCornerRadius)
            .real("width", &KJTipElement::width)
            .real("height", &KJTipElement::height)
            .text("widthUnit", &KJTipElement::widthUnit)
            .text("heightUnit", &KJTipElement::heightUnit)
            .color("overlayColor", &KJTipElement::overlayColor)
            .real("overlayAlpha", &KJTipElement::overlayAlpha)
            .other("coachmark", "KJTipCoachmarkElement")
            .other("carousel", "KJTipCarouselElement")
            .other("arrayInteractions", "NSArray")
            .other("overlay", "KJOverlay")
            .other("feedback", "KJTipFeedbackElement")
            .other("arrayImages", "NSArray")
            .other("title", "KJTipTextElement")
            .other("content", "KJTipTextElement")
            .other("web", "KJTipWebElement")
            .other("prev", "KJTipButtonElement")
            .other("next", "KJTipButtonElement")
            .text("pair", &KJTipElement::pair)
            .boolean("isHorizontal", &KJTipElement::isHorizontal)
            .boolean("dismissWhenTouchInside", &KJTipElement::dismissWhenTouchInside)
            .boolean("dismissWhenTouchOutside", &KJTipElement::dismissWhenTouchOutside)
            .other("dismiss", "KJTipDismissElement")
            .other("animation", "KJTipAnimationElement")
            .other("series", "KJTipSeriesElement")
            .other("viewController", "UIViewController")
            .other("targetControl", "UIView")
            .text("status", &KJTipElement::status)
            .other("pointerParams", "")
            .text("guideBlockKey", &KJTipElement::guideBlockKey)
            .other("extraJson", "NSDictionary")
            .build());
    return cls;
}

std::shared_ptr<KJTipElement> KJTipElement::createFromFeed(const Value& object) {
    if (!object.isDictionary()) return nullptr;
    KJDocumentReader in(object, "KJTipElement");
    auto step = std::make_shared<KJTipElement>();

    const Value& meta = in.dictionary("meta");
    if (meta.isDictionary()) {
        KJDocumentReader m(meta, "KJTipElement meta");
        step->suid = m.text("id");
        step->tipType = KJTipUtil::convertTipTypeFromString(m.word("tool"));
        step->view = m.text("view");
        step->target = std::dynamic_pointer_cast<BLQITipTargetElement>(
            KJElementClass::createFromFeed(BLQITipTargetElement::kClassName, meta));
        if (step->target) step->target->setParentElement(step);
        const Value& animation = m.dictionary("animation");
        if (animation.isDictionary()) step->animation = KJTipAnimationElement::createFromFeed(animation);
        step->placement = KJTipUtil::convertPlacementTypeFromString(m.word("placement"));
        if (step->placement == 0) step->placement = 1;
        step->delaySeconds = m.doubleNumber("delay");
        step->padding = {m.number("padding-top"), m.number("padding-bottom"), m.number("padding-left"),
                         m.number("padding-right")};
        step->margin = {m.number("margin-top"), m.number("margin-bottom"), m.number("margin-left"),
                        m.number("margin-right")};
        step->boxShadow = m.number("box-shadow");
        step->backgroundColor = m.color("background-color").value_or(platform::UIColor::whiteColor());

        const Value& display = m.dictionary("display-params");
        if (display.isDictionary()) {
            KJDocumentReader d(display, "KJTipElement display-params");
            step->borderColor = d.color("border-color").value_or(platform::UIColor::clearColor());
            step->borderWidth = std::max(0.0, d.number("border-width"));
            step->borderCornerRadius = std::max(0.0, d.number("corner-radius"));
            readSize(d, "width", step->width, step->widthUnit);
            readSize(d, "height", step->height, step->heightUnit);
            if (d.has("dim")) step->overlay = migrateDimToOverlay(display);
        }
        if (in.has("overlay")) {
            const Value& overlay = in.dictionary("overlay");
            step->overlay = KJOverlay::createFromFeed(overlay);
        }
        if (step->overlay && equalsIgnoringCase(step->overlay->type.value_or(""), "overlay")) {
            step->overlayColor = step->overlay->backgroundColor;
        }
        const Value& dismissParams = m.dictionary("dismiss-params");
        if (dismissParams.isDictionary()) {
            KJDocumentReader t(dismissParams, "KJTipElement dismiss-params");
            step->dismissWhenTouchInside = t.boolean("touch-in");
            step->dismissWhenTouchOutside = t.boolean("touch-out");
        }
        const Value& cutout = m.dictionary("cutout-params");
        if (cutout.isDictionary()) step->coachmark = KJTipCoachmarkElement::createFromFeed(cutout);
    }

    // The documents read below, one level ahead of each: their nodes were asked for when the
    // step's reader was made, their entries now, and the buttons' own documents after the title.
    const Value& title = in.value("title");
    const Value& content = in.value("content");
    const Value& buttons = in.value("buttons");
    for (const Value* ahead : {&title, &content, &buttons}) KJDocumentReader::prefetchEntries(*ahead);

    step->arrayInteractions = in.records<KJTipInteractions>("interactions");

    const Value& extra = in.dictionary("extra_json");
    if (extra.isDictionary()) {
        step->extraJson = extra;
        KJDocumentReader e(extra, "KJTipElement extra_json");
        if (e.has("guideBlockKey")) {
            step->tipType = kCustomGuideTipType;
            step->guideBlockKey = e.text("guideBlockKey");
        }
    }

    const Value& carousel = in.dictionary("carousel");
    if (carousel.isDictionary()) step->carousel = KJTipCarouselElement::createFromFeed(carousel);
    if (step->tipType == 5 || step->tipType == kCustomGuideTipType) {
        const Value& feedback = in.dictionary("feedback");
        if (feedback.isDictionary()) step->feedback = KJTipFeedbackElement::createFromFeed(feedback);
    }

    const Value& images = in.array("image");
    if (images.isArray()) {
        step->arrayImages.emplace();
        for (size_t i = 0; i < images.count(); ++i) {
            if (!images[i].isDictionary()) {
                in.wrongEntry("image", i, images[i], "a dictionary");
                continue;
            }
            if (auto image = KJElementClass::createFromFeed(kImageClassName, images[i])) {
                step->arrayImages->push_back(std::move(image));
            }
        }
    }

    if (in.dictionary("title").isDictionary()) step->title = KJTipTextElement::createFromFeed(title);
    KJDocumentReader::prefetchValues(buttons);
    if (in.dictionary("content").isDictionary()) step->content = KJTipTextElement::createFromFeed(content);
    if (buttons.isDictionary())
        for (const char* kind : {"next", "prev"}) KJDocumentReader::prefetchEntries(buttons[kind]);
    if (meta.isDictionary()) step->web = KJTipWebElement::createFromFeed(meta);

    if (in.dictionary("buttons").isDictionary()) {
        KJDocumentReader b(buttons, "KJTipElement buttons");
        step->pair = b.text("pair");
        platform::CGSize screen = platform::UIScreen::mainScreen()->bounds().size;
        int64_t containerWidth = containerExtent(step->width, step->widthUnit, screen.width);
        int64_t containerHeight = containerExtent(step->height, step->heightUnit, screen.height);
        for (const char* kind : {"next", "prev"}) {
            const Value& document = b.dictionary(kind);
            if (!document.isDictionary()) continue;
            // The button's own entries with the three the step gives it; an entry of the same key
            // takes the step's value in its place, as setting it would.
            const platform::Dictionary::Entry given[] = {{"button-type", Value(kind)},
                                                         {"containerWidth", Value(containerWidth)},
                                                         {"containerHeight", Value(containerHeight)}};
            (std::string_view(kind) == "next" ? step->next : step->prev) =
                KJTipButtonElement::createFromFeed(document, given);
        }
        step->isHorizontal = true;
        if (step->next && step->prev && step->next->hasText() && step->prev->hasText() &&
            b.value("layout").isString() && equalsIgnoringCase(*b.value("layout").getString(), "vertical")) {
            step->isHorizontal = false;
        }
        const Value& dismiss = b.dictionary("dismiss");
        if (dismiss.isDictionary())
            step->dismiss = KJElementClass::createFromFeed(kDismissClassName, dismiss);
    }

    const Value& pointer = in.dictionary("pointer-params");
    if (pointer.isDictionary()) {
        KJDocumentReader p(pointer, "KJTipElement pointer-params");
        step->pointerParams = {p.number("width"), p.number("height"), p.number("offset")};
    } else {
        step->pointerParams = kDefaultPointer;
    }

    if (!step->target || step->target->vcClass().empty()) return nullptr;
    return step;
}

bool KJTipElement::storedForm(KJStoredForm& out) const {
    using Key = const KJStoredKey&;
    static Key kTarget = KJStoredKey::named("target"), kArrayImages = KJStoredKey::named("arrayImages"),
               kTitle = KJStoredKey::named("title"), kContent = KJStoredKey::named("content"),
               kPrev = KJStoredKey::named("prev"), kNext = KJStoredKey::named("next"),
               kDismiss = KJStoredKey::named("dismiss"), kWeb = KJStoredKey::named("web"),
               kCoachmark = KJStoredKey::named("coachmark"), kCarousel = KJStoredKey::named("carousel"),
               kFeedback = KJStoredKey::named("feedback"), kAnimation = KJStoredKey::named("animation"),
               kOverlay = KJStoredKey::named("overlay"), kPointerWidth = KJStoredKey::named(pointerKey("width")),
               kPointerHeight = KJStoredKey::named(pointerKey("height")),
               kPointerOffset = KJStoredKey::named(pointerKey("offset"));
    static const StoredExclusions kStored(kExclusions);
    // The keys differ from one another: into a form that holds none yet they are just added.
    KJStoredForm::Adding adding(out, out.entries().empty());
    out.record(kTarget, target);
    if (arrayImages) out.records(kArrayImages, *arrayImages);
    out.record(kTitle, title);
    out.record(kContent, content);
    out.record(kPrev, prev);
    out.record(kNext, next);
    out.record(kDismiss, dismiss);
    out.record(kWeb, web);
    out.record(kCoachmark, coachmark);
    out.record(kCarousel, carousel);
    out.record(kFeedback, feedback);
    out.record(kAnimation, animation);
    // The overlay and the pointer are kept as well, so that a step read back shows as it did.
    out.record(kOverlay, overlay);
    out.real(kPointerWidth, pointerParams.width);
    out.real(kPointerHeight, pointerParams.height);
    out.real(kPointerOffset, pointerParams.offset);
    storedProperties(out, kStored);
    return true;
}

std::shared_ptr<KJTipElement> KJTipElement::deserializeFromDictionary(const Value& stored) {
    auto step = std::make_shared<KJTipElement>();
    KJDocumentReader in(stored, "KJTipElement");
    auto nested = [&](const char* key) -> const Value& { return in.dictionary(key); };

    Value target = nested("target");
    if (target.isDictionary()) {
        step->target = std::dynamic_pointer_cast<BLQITipTargetElement>(
            KJElementClass::deserializeFromDictionary(BLQITipTargetElement::kClassName, target));
        if (step->target) step->target->setParentElement(step);
    }
    if (Value v = nested("title"); v.isDictionary())
        step->title = KJTipTextElement::deserializeFromDictionary(v);
    if (Value v = nested("content"); v.isDictionary())
        step->content = KJTipTextElement::deserializeFromDictionary(v);
    if (Value v = nested("prev"); v.isDictionary())
        step->prev = KJTipButtonElement::deserializeFromDictionary(v);
    if (Value v = nested("next"); v.isDictionary())
        step->next = KJTipButtonElement::deserializeFromDictionary(v);
    if (Value v = nested("dismiss"); v.isDictionary()) {
        step->dismiss = KJElementClass::deserializeFromDictionary(kDismissClassName, v);
    }
    if (Value v = nested("web"); v.isDictionary()) step->web = KJTipWebElement::deserializeFromDictionary(v);
    if (Value v = nested("coachmark"); v.isDictionary()) {
        step->coachmark = KJTipCoachmarkElement::deserializeFromDictionary(v);
    }
    if (Value v = nested("carousel"); v.isDictionary()) {
        step->carousel = KJTipCarouselElement::deserializeFromDictionary(v);
    }
    if (Value v = nested("feedback"); v.isDictionary()) {
        step->feedback = KJTipFeedbackElement::deserializeFromDictionary(v);
    }
    if (Value v = nested("animation"); v.isDictionary()) {
        step->animation = KJTipAnimationElement::deserializeFromDictionary(v);
    }
    if (Value v = nested("overlay"); v.isDictionary())
        step->overlay = KJOverlay::deserializeFromDictionary(v);
    const Value& images = in.array("arrayImages");
    if (images.isArray()) {
        step->arrayImages.emplace();
        for (size_t i = 0; i < images.count(); ++i) {
            if (!images[i].isDictionary()) {
                in.wrongEntry("arrayImages", i, images[i], "a dictionary");
                continue;
            }
            if (auto image = KJElementClass::deserializeFromDictionary(kImageClassName, images[i])) {
                step->arrayImages->push_back(std::move(image));
            }
        }
    }
    // A stored form without a pointer (written before it was kept) gets the document's default.
    if (in.has(pointerKey("width")) || in.has(pointerKey("height")) || in.has(pointerKey("offset"))) {
        step->pointerParams = {in.number(pointerKey("width")), in.number(pointerKey("height")),
                               in.number(pointerKey("offset"))};
    } else if (stored.isDictionary()) {
        step->pointerParams = kDefaultPointer;
    }
    step->deserializeFromDictionaryWithExcludeProperties(stored, kExclusions);
    return step;
}

bool KJTipElement::isEqual(const platform::NSObject* other) const {
    if (!isEqualWithExcludeProperties(other, kExclusions)) return false;
    const auto& that = *dynamic_cast<const KJTipElement*>(other);
    return nestedEqual(target, that.target) && nestedListsMatch(arrayImages, that.arrayImages) &&
           nestedEqual(title, that.title) && nestedEqual(content, that.content) &&
           nestedEqual(prev, that.prev) && nestedEqual(next, that.next) &&
           nestedEqual(dismiss, that.dismiss) && nestedEqual(web, that.web) &&
           nestedEqual(coachmark, that.coachmark) && nestedEqual(carousel, that.carousel) &&
           nestedEqual(feedback, that.feedback) && nestedEqual(animation, that.animation) &&
           nestedEqual(overlay, that.overlay) &&
           kjNearlyEqual(pointerParams.width, that.pointerParams.width) &&
           kjNearlyEqual(pointerParams.height, that.pointerParams.height) &&
           kjNearlyEqual(pointerParams.offset, that.pointerParams.offset);
}

// ---- The older "dim" setting ---------------------------------------------------------------------

int32_t KJTipElement::calculateRoundedAlpha(const Value& dim) {
    float percent = dim.isNumber() || dim.isString() ? static_cast<float>(dim.integerValue()) : 0.0f;
    // Held to one byte before it becomes an integer: a "dim" outside 0..100 would otherwise give
    // three or eight digits, and one far outside it a value no integer holds.
    return static_cast<int32_t>(std::clamp(std::round(percent / 100.0f * 255.0f), 0.0f, 255.0f));
}

std::string KJTipElement::converToHex(int32_t alpha) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(alpha));
    return digits;
}

std::string KJTipElement::createColorString(const Value& color, const std::string& hex) {
    std::string text = color.isString() ? *color.getString() : "";
    if (text.starts_with('#')) text.erase(0, 1);
    return "#" + hex + text;
}

std::string KJTipElement::getColorWithAlpha(const Value& displayParams) {
    return createColorString(displayParams["color"],
                             converToHex(calculateRoundedAlpha(displayParams["dim"])));
}

std::shared_ptr<KJOverlay> KJTipElement::migrateDimToOverlay(const Value& displayParams) {
    std::string color = getColorWithAlpha(displayParams);
    consoleLog().log(platform::LogType::Default, color);
    return KJOverlay::createFromFeed(
        Value::dictionary({{"type", "overlay"}, {"background-color", Value(color)}}));
}

}  // namespace brindlecue
