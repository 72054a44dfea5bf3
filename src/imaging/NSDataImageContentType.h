#pragma once

#include <cstdint>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

// The format of image data, told from its first bytes.
enum class KJSDImageFormat : int64_t {
    Undefined = -1,
    JPEG = 0,
    PNG = 1,
    GIF = 2,
    TIFF = 3,
    WebP = 4,
    HEIC = 5,
};

// Format detection on data.
class NSDataImageContentType {
public:
    // Undefined for empty data and for first bytes of no known format.
    static KJSDImageFormat sd_imageFormatForImageData(const platform::Data& data);
    // The uniform type identifier images of the format are encoded as; the PNG type for
    // Undefined and any code outside the list.
    static std::string sd_UTTypeFromKJSDImageFormat(KJSDImageFormat format);
};

}  // namespace brindlecue
