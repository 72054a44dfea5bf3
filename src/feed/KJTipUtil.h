#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue {

namespace platform {
class UIImage;
class UIView;
}  // namespace platform

// The tip layer's converters from the words of campaign documents to the numbers of the campaign
// model, and its measures, positions, fonts and images. Stateless; the converters, measures and
// positions run on any thread, fonts and images belong to the main thread.
//
// Every word converter reads an absent value and the null object as the empty text, and anything
// that is not text as a word that matches nothing. Matching is exact and case-sensitive unless
// said otherwise.
class KJTipUtil {
public:
    // The OR of "dom" 1, "faq" 2, "feed" 4 over a list of words; 0 for anything but a list.
    static int32_t convertTipDisplayTypeFromArray(const platform::Value& words);
    // "tour" 1, "tip" 2, "modal" 3, "coachmark" 4, "feedback" 5, "carousel" 6, "fab" 7; else 0.
    static int32_t convertTipTypeFromString(const platform::Value& word);
    // "page-open" 1, "click" 2, "button" 3, "on-demand" 4, "floating-action-button" 1; else 0.
    static int32_t convertTriggerTypeFromString(const platform::Value& word);
    // "left" 1, "right" 2, "top" 3, "bottom" 4; else 0.
    static int32_t convertPlacementTypeFromString(const platform::Value& word);
    // "left-top" 0 ... "right-bottom" 8, row by row; else 3 ("center-top").
    static int32_t convertImageAlignmentFromString(const platform::Value& word);
    // "fade" 1, "slide" 2, "explode" 3, "compress" 4; else 0.
    static int32_t convertTipAnimationTypeFromString(const platform::Value& word);
    // "left" 1, "top" 2, "right" 3, "bottom" 4; else 0 (not the placement numbering).
    static int32_t convertTipAnimationDirectionFromString(const platform::Value& word);
    // "left" 0, "center" 1, "right" 2; else 0.
    static int64_t convertTextAlignmentFromString(const platform::Value& word);
    // "circular" 1, "rectangular" 2; else 3 (custom).
    static int32_t convertCoachmarkStyleFromString(const platform::Value& word);
    // "none" 0, "gradient" 1, "blur" 2; else 0.
    static int32_t convertCoachmarkDiffuseFromString(const platform::Value& word);
    // The icon image of the first of "alert", "close", "help", "information", "record", "pulse"
    // that the word contains, ignoring case; else "icon.png".
    static std::string convertIconFromString(const platform::Value& word);
    // A text alignment (0 left, 1 center, 2 right) as a button's content horizontal alignment
    // (0 centre, 1 left, 2 right); else 0.
    static int64_t getButtonHorizontalAlignment(uint64_t textAlignment);

    // Positions given as "point_<x>_<y>", each part in points or a percentage of the screen.
    static bool isArbitraryPosition(const platform::Value& text);
    // The point, in the coordinate space of the root view of the view's window; the zero point for
    // a text that is not a position or has no second part.
    static platform::CGPoint parseArbitraryPosition(const platform::Value& text,
                                                    const std::shared_ptr<platform::UIView>& view);
    // Text ending in "%": the number before it divided by 100 (a fraction); anything else: its
    // number in single precision (0 for none).
    static double parseDPOrPercentage(const platform::Value& value);
    // As above, with a percentage taken of the container size.
    static double getSizeFromDPOrPercentage(const platform::Value& value, double containerSize);
    // The radius, at most half of the smaller side.
    static double maxCornerRadius(platform::CGSize size, double cornerRadius);

    // The font of a family or font name (text, or a list whose first entry is used), a size (0 or
    // less: the system font size) and a weight ("bold", or a number above 400, is bold).
    static platform::UIFont getFontFromName(const platform::Value& name, double size,
                                            const platform::Value& weight);
    // "mt" for names containing "Arial", "Courier" or "Times"; else "".
    static std::string isMonoTypeFont(const std::string& fontName);
    // The family the lower-cased name stands for ("times" is "Times New Roman"); else "".
    static std::string searchAdditionalFontKeys(const std::string& fontName);
    // The raw view id without its "@UITransitionView..." segments.
    static std::string removeExceptionForRawId(const std::string& rawId);

    // Loads an image: a source beginning with "http" on the high-priority global queue (the
    // callback runs there), any other source from the app's or the library's resource bundle (the
    // callback runs at once); an empty source calls back at once with an error in "KJErrorDomain".
    using ImageCallback =
        std::function<void(std::shared_ptr<platform::UIImage> image, const platform::Value& source,
                           const std::optional<platform::Error>& error)>;
    static void prepareImageWithSource(const platform::Value& source, ImageCallback callback);

    // What fonts the text layer offers. Until one is installed no family is known and every
    // named font is taken to exist.
    struct FontCatalog {
        // The font names of a family, in the family's order.
        std::function<std::vector<std::string>(const std::string& family)> fontNamesForFamilyName;
        // Whether a font of that name can be made.
        std::function<bool(const std::string& fontName)> fontExists;
    };
    static void setFontCatalog(FontCatalog catalog);

    // How images are made from bytes and from animated GIF addresses; the imaging layer installs
    // them. Until then no image can be made and callbacks receive none.
    struct ImageDecoding {
        std::function<std::shared_ptr<platform::UIImage>(const platform::Data& bytes)> imageWithData;
        std::function<std::shared_ptr<platform::UIImage>(const std::string& url)>
            animatedImageWithAnimatedGIFURL;
    };
    static void setImageDecoding(ImageDecoding decoding);
};

}  // namespace brindlecue
