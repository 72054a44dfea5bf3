#include "support/TestGif.h"

#include <gif_lib.h>

namespace brindlecue::testsupport {

platform::Data makeTestGif(int width, int height, const std::vector<TestGifFrame>& frames,
                           std::optional<int> loopCount) {
    platform::Data out;
    int err = 0;
    auto write = [](GifFileType* g, const GifByteType* d, int n) {
        static_cast<platform::Data*>(g->UserData)->insert(static_cast<platform::Data*>(g->UserData)->end(), d, d + n);
        return n;
    };
    GifFileType* gif = EGifOpen(&out, write, &err);
    GifColorType colors[4];
    for (int i = 0; i < 4; ++i)
        colors[i] = {GifByteType(kTestGifPalette[i] >> 16), GifByteType(kTestGifPalette[i] >> 8),
                     GifByteType(kTestGifPalette[i])};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 2, 0, map);
    if (loopCount) {
        GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        GifByteType block[] = {1, GifByteType(*loopCount & 0xFF), GifByteType((*loopCount >> 8) & 0xFF)};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, sizeof app, app);
        EGifPutExtensionBlock(gif, sizeof block, block);
        EGifPutExtensionTrailer(gif);
    }
    for (const auto& f : frames) {
        int w = f.width > 0 ? f.width : width, h = f.height > 0 ? f.height : height;
        if (int cs = f.delayCentiseconds.value_or(0); f.delayCentiseconds) {
            GifByteType gce[4] = {GifByteType(1 << 2), GifByteType(cs & 0xFF), GifByteType((cs >> 8) & 0xFF), 0};
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
        }
        EGifPutImageDesc(gif, f.left, f.top, w, h, false, nullptr);
        std::vector<GifByteType> line(size_t(w), f.color);
        for (int y = 0; y < h; ++y) EGifPutLine(gif, line.data(), w);
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

}  // namespace brindlecue::testsupport
