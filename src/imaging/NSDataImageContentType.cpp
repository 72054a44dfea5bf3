#include "imaging/NSDataImageContentType.h"

#include <string_view>

namespace brindlecue {

KJSDImageFormat NSDataImageContentType::sd_imageFormatForImageData(const platform::Data& data) {
    if (data.empty()) return KJSDImageFormat::Undefined;
    auto text = [&](size_t from, size_t length) {
        return std::string_view(reinterpret_cast<const char*>(data.data()) + from, length);
    };
    switch (data[0]) {
        case 0xFF: return KJSDImageFormat::JPEG;
        case 0x89: return KJSDImageFormat::PNG;
        case 0x47: return KJSDImageFormat::GIF;
        case 0x49:
        case 0x4D: return KJSDImageFormat::TIFF;
        case 0x52:
            // "RIFF", the length, then "WEBP".
            if (data.size() >= 12 && text(0, 4) == "RIFF" && text(8, 4) == "WEBP") return KJSDImageFormat::WebP;
            break;
        case 0x00:
            if (data.size() >= 12) {
                std::string_view box = text(4, 8);
                if (box == "ftypheic" || box == "ftypheix" || box == "ftyphevc" || box == "ftyphevx")
                    return KJSDImageFormat::HEIC;
            }
            break;
        default: break;
    }
    return KJSDImageFormat::Undefined;
}

std::string NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(KJSDImageFormat format) {
    switch (format) {
        case KJSDImageFormat::JPEG: return "public.jpeg";
        case KJSDImageFormat::PNG: return "public.png";
        case KJSDImageFormat::GIF: return "com.compuserve.gif";
        case KJSDImageFormat::TIFF: return "public.tiff";
        case KJSDImageFormat::WebP: return "public.webp";
        case KJSDImageFormat::HEIC: return "public.heic";
        case KJSDImageFormat::Undefined: break;
    }
    return "public.png";
}

}  // namespace brindlecue
