// libFuzzer target for the TIFF decoder of the image source (see fuzz/README.md).
#include "decode_one.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeOne(data, size);
    return 0;
}
