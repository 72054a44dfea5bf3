#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform::codec {
namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int readBytes(GifFileType* gif, GifByteType* out, int count) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    if (count <= 0) return 0;
    size_t n = std::min(size_t(count), r->size - r->at);
    std::memcpy(out, r->data + r->at, n);
    r->at += n;
    return int(n);
}

// Skips the rest of an image's compressed data.
bool skipImageData(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

std::vector<uint32_t> paletteOf(const ColorMapObject* map) {
    if (!map || !map->Colors) return {};
    int n = std::clamp(map->ColorCount, 0, 256);
    std::vector<uint32_t> palette(size_t(n), 0xFF000000u);
    for (int i = 0; i < n; ++i) {
        const GifColorType& c = map->Colors[i];
        palette[i] = 0xFF000000u | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
    }
    return palette;
}

struct Control {
    bool present = false;
    int disposal = 0;
    int transparent = -1;
    double delay = 0;
};

}  // namespace

GifFile gifParse(const uint8_t* data, size_t size, uint64_t maxPixels) {
    GifFile out;
    if (size < 6 || std::memcmp(data, "GIF", 3) != 0) {
        out.error = "not GIF data";
        return out;
    }
    MemoryReader reader{data, size, 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&reader, readBytes, &err);
    if (!gif) {
        out.error = GifErrorString(err) ? GifErrorString(err) : "GIF error";
        return out;
    }
    auto fail = [&](const char* why) {
        out.error = why ? why : (GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "GIF error");
    };
    if (gif->SWidth <= 0 || gif->SHeight <= 0) {
        fail("GIF canvas is empty");
        DGifCloseFile(gif, &err);
        return out;
    }
    if (uint64_t(gif->SWidth) * uint64_t(gif->SHeight) > maxPixels) {
        fail("decoded size exceeds the limit");
        DGifCloseFile(gif, &err);
        return out;
    }
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    out.palettes.push_back(paletteOf(gif->SColorMap));  // the global table, shared by frames without their own
    uint64_t stored = 0;   // index bytes kept over all frames
    uint64_t decoded = 0;  // pixels decompressed over all frames, inside the canvas or not
    Control control;
    std::vector<GifByteType> line;
    bool stop = false;
    while (!stop) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            fail(nullptr);
            break;
        }
        switch (type) {
            case IMAGE_DESC_RECORD_TYPE: {
                if (DGifGetImageDesc(gif) == GIF_ERROR) {
                    fail(nullptr);
                    stop = true;
                    break;
                }
                const GifImageDesc& d = gif->Image;
                GifFrame frame;
                frame.disposal = control.present ? control.disposal : 0;
                frame.transparentIndex = control.present ? control.transparent : -1;
                if (control.present) frame.delay = control.delay;
                control = Control{};
                if (out.frames.size() >= GifFile::kMaxFrames) {
                    fail("too many frames");
                    stop = true;
                    break;
                }
                if (d.ColorMap) {
                    frame.palette = out.palettes.size();
                    out.palettes.push_back(paletteOf(d.ColorMap));
                }
                if (d.Width <= 0 || d.Height <= 0) {
                    // An empty frame: nothing to draw, but the data still has to be passed over.
                    if (!skipImageData(gif)) {
                        fail(nullptr);
                        stop = true;
                        break;
                    }
                    frame.left = frame.top = 0;
                    out.frames.push_back(std::move(frame));
                    break;
                }
                decoded += uint64_t(d.Width) * uint64_t(d.Height);
                if (uint64_t(d.Width) * uint64_t(d.Height) > maxPixels || decoded > 4 * maxPixels) {
                    fail("decoded size exceeds the limit");
                    stop = true;
                    break;
                }
                // Only the part inside the canvas is kept.
                int x0 = std::clamp(d.Left, 0, out.width), x1 = std::clamp(d.Left + d.Width, 0, out.width);
                int y0 = std::clamp(d.Top, 0, out.height), y1 = std::clamp(d.Top + d.Height, 0, out.height);
                frame.left = x0;
                frame.top = y0;
                frame.width = x1 - x0;
                frame.height = y1 - y0;
                stored += uint64_t(frame.width) * uint64_t(frame.height);
                if (stored > maxPixels) {
                    fail("decoded size exceeds the limit");
                    stop = true;
                    break;
                }
                frame.indices.assign(size_t(frame.width) * frame.height, 0);
                line.resize(size_t(d.Width));
                bool ok = true;
                static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
                int passes = d.Interlace ? 4 : 1;
                for (int pass = 0; pass < passes && ok; ++pass) {
                    int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
                    for (int row = start; row < d.Height; row += step) {
                        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
                            ok = false;
                            break;
                        }
                        int y = d.Top + row;
                        if (y < y0 || y >= y1 || frame.width == 0) continue;
                        std::memcpy(frame.indices.data() + size_t(y - y0) * frame.width, line.data() + (x0 - d.Left),
                                    size_t(frame.width));
                    }
                }
                if (!ok) {
                    // A frame cut short is left out.
                    fail(nullptr);
                    stop = true;
                    break;
                }
                out.frames.push_back(std::move(frame));
                break;
            }
            case EXTENSION_RECORD_TYPE: {
                int code = 0;
                GifByteType* ext = nullptr;
                if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) {
                    fail(nullptr);
                    stop = true;
                    break;
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                    control.present = true;
                    control.disposal = (ext[1] >> 2) & 7;
                    control.transparent = (ext[1] & 1) ? ext[4] : -1;
                    control.delay = double(ext[2] | (ext[3] << 8)) / 100.0;
                }
                bool loopBlock = code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] == 11 &&
                                 (std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0 ||
                                  std::memcmp(ext + 1, "ANIMEXTS1.0", 11) == 0);
                while (ext) {
                    if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) {
                        fail(nullptr);
                        stop = true;
                        break;
                    }
                    if (loopBlock && ext && ext[0] >= 3 && ext[1] == 1) {
                        out.loopCount = unsigned(ext[2] | (ext[3] << 8));
                        loopBlock = false;
                    }
                }
                break;
            }
            case TERMINATE_RECORD_TYPE:
                out.complete = true;
                stop = true;
                break;
            default:
                fail("unknown GIF record");
                stop = true;
                break;
        }
    }
    DGifCloseFile(gif, &err);
    if (out.frames.empty() && out.error.empty()) out.error = "GIF has no image";
    return out;
}

void GifCompositor::reset(const GifFile& gif) {
    canvas_.assign(size_t(gif.width) * gif.height, 0);
    saved_.clear();
    next_ = 0;
}

std::shared_ptr<const CGImage> GifCompositor::frame(const GifFile& gif, size_t index) {
    if (index >= gif.frames.size() || gif.width <= 0 || gif.height <= 0) return nullptr;
    // Frames are drawn forwards from where the canvas is; an earlier frame starts over.
    if (index + 1 < next_ || canvas_.size() != size_t(gif.width) * gif.height || next_ == 0) reset(gif);
    for (; next_ <= index; ++next_) {
        if (next_ > 0) {
            // Dispose of the previous frame as it asked.
            const GifFrame& prev = gif.frames[next_ - 1];
            if (prev.disposal == 2) {
                for (int y = 0; y < prev.height; ++y)
                    std::fill_n(canvas_.begin() + ptrdiff_t(prev.top + y) * gif.width + prev.left, prev.width, 0u);
            } else if (prev.disposal == 3 && saved_.size() == canvas_.size()) {
                canvas_ = saved_;
            }
        }
        const GifFrame& f = gif.frames[next_];
        if (f.disposal == 3) saved_ = canvas_;
        static const std::vector<uint32_t> kNone;
        const std::vector<uint32_t>& palette = f.palette < gif.palettes.size() ? gif.palettes[f.palette] : kNone;
        for (int y = 0; y < f.height; ++y) {
            const uint8_t* in = f.indices.data() + size_t(y) * f.width;
            uint32_t* out = canvas_.data() + size_t(f.top + y) * gif.width + f.left;
            for (int x = 0; x < f.width; ++x) {
                if (in[x] == f.transparentIndex) continue;
                out[x] = in[x] < palette.size() ? palette[in[x]] : 0xFF000000u;
            }
        }
    }
    return CGImage::fromPremultipliedARGB(gif.width, gif.height, canvas_, true);
}

// ---- Encoding

namespace {

int writeBytes(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

// The smallest table size GIF allows (a power of two from 2) that holds n entries.
int tableSize(int n) {
    int size = 2;
    while (size < n) size *= 2;
    return size;
}

bool putFrame(GifFileType* gif, const CGImage& image, int width, int height, double delay) {
    // Pixels less than half opaque are transparent. A frame of at most 256 colours (255 when one
    // entry is kept for transparency) keeps them exactly; only a frame with more is quantised,
    // to 255 colours beside the transparent entry 255.
    size_t n = size_t(width) * height;
    std::vector<GifByteType> r(n), g(n), b(n), indices(n);
    std::vector<bool> clear(n);
    bool anyClear = false;
    std::unordered_map<uint32_t, int> exact;
    std::vector<GifColorType> map;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t i = size_t(y) * width + x;
            RGBA8 p = image.pixelAt(x, y);
            r[i] = p.r;
            g[i] = p.g;
            b[i] = p.b;
            clear[i] = p.a < 128;
            anyClear = anyClear || clear[i];
            if (clear[i] || exact.size() > 256) continue;
            uint32_t key = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
            auto [at, added] = exact.try_emplace(key, int(exact.size()));
            if (added) map.push_back({p.r, p.g, p.b});
            indices[i] = GifByteType(at->second);
        }
    }
    int transparent = -1;
    if (exact.size() + (anyClear ? 1 : 0) <= 256) {
        if (anyClear) {
            transparent = int(map.size());
            map.push_back({0, 0, 0});
            for (size_t i = 0; i < n; ++i)
                if (clear[i]) indices[i] = GifByteType(transparent);
        }
        map.resize(size_t(tableSize(int(map.size()))), GifColorType{0, 0, 0});
    } else {
        int colors = 255;
        map.assign(256, GifColorType{0, 0, 0});
        if (GifQuantizeBuffer(unsigned(width), unsigned(height), &colors, r.data(), g.data(), b.data(),
                              indices.data(), map.data()) == GIF_ERROR)
            return false;
        transparent = 255;
        for (size_t i = 0; i < n; ++i)
            if (clear[i]) indices[i] = 255;
        map[255] = {0, 0, 0};
    }
    ColorMapObject* cmap = GifMakeMapObject(int(map.size()), map.data());
    if (!cmap) return false;
    int cs = int(std::lround(std::max(0.0, delay) * 100));
    GifByteType gce[4] = {GifByteType(2 << 2 | (transparent >= 0 ? 1 : 0)), GifByteType(cs & 0xFF),
                          GifByteType((cs >> 8) & 0xFF), GifByteType(transparent >= 0 ? transparent : 0)};
    bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, cmap) != GIF_ERROR;
    for (int y = 0; ok && y < height; ++y) ok = EGifPutLine(gif, indices.data() + size_t(y) * width, width) != GIF_ERROR;
    GifFreeMapObject(cmap);
    return ok;
}

}  // namespace

std::optional<std::vector<uint8_t>> gifEncode(const std::vector<GifEncodeFrame>& frames,
                                              std::optional<unsigned> loopCount) {
    if (frames.empty() || !frames.front().image) return std::nullopt;
    int width = frames.front().image->width(), height = frames.front().image->height();
    if (width > 65535 || height > 65535) return std::nullopt;
    std::vector<uint8_t> out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &err);
    if (!gif) return std::nullopt;
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) != GIF_ERROR;
    if (ok && loopCount && frames.size() > 1) {
        GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        GifByteType loop[] = {1, GifByteType(*loopCount & 0xFF), GifByteType((*loopCount >> 8) & 0xFF)};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
             EGifPutExtensionBlock(gif, sizeof app, app) != GIF_ERROR &&
             EGifPutExtensionBlock(gif, sizeof loop, loop) != GIF_ERROR &&
             EGifPutExtensionTrailer(gif) != GIF_ERROR;
    }
    for (const auto& f : frames) {
        if (!ok) break;
        if (!f.image) {
            ok = false;
            break;
        }
        // Frames of another size are drawn onto the first frame's canvas from its top left.
        std::shared_ptr<const CGImage> img = f.image;
        if (img->width() != width || img->height() != height) {
            std::vector<uint32_t> px(size_t(width) * height, 0);
            for (int y = 0; y < std::min(height, img->height()); ++y)
                for (int x = 0; x < std::min(width, img->width()); ++x)
                    px[size_t(y) * width + x] = img->premultipliedARGB()[size_t(y) * img->width() + x];
            img = CGImage::fromPremultipliedARGB(width, height, std::move(px), true);
        }
        ok = putFrame(gif, *img, width, height, f.delay);
    }
    if (EGifCloseFile(gif, &err) == GIF_ERROR) ok = false;
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace brindlecue::platform::codec
