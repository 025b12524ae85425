#include "GifWriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <string>
#include <utility>

#include "IndexedFrames.h"
#include "core/Document.h"
#include "core/FrameTiming.h"
#include "formats/OnExit.h"
#include "formats/Errors.h"

namespace {

// GIF colour tables hold a power of two entries.
constexpr int kGifColours = 32;

int AppendToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

void Check(int result, GifFileType* gif) {
    if (result == GIF_ERROR) {
        const char* text = GifErrorString(gif->Error);
        throw EWriteError(std::string("GIF encoding failed: ") + (text ? text : "unknown error"));
    }
}

}  // namespace

std::vector<uint8_t> EncodeGif(const TDocument& document, int scale) {
    const std::vector<IndexedFrame> frames = IndexFrames(document);
    const int side = kFrameSize * scale;
    std::vector<uint8_t> out;

    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToVector, &error);
    // Closed however the encoding ends.
    const OnExit close([&gif] {
        if (gif) EGifCloseFile(gif, nullptr);
    });
    if (!gif) throw EWriteError(std::string("GIF encoding failed: ") + GifErrorString(error));

    GifColorType colours[kGifColours] = {};
    const auto palette = OutputPalette();
    for (int i = 0; i < kPaletteSize; ++i) colours[i] = {palette[size_t(i)].r, palette[size_t(i)].g, palette[size_t(i)].b};
    ColorMapObject* map = GifMakeMapObject(kGifColours, colours);
    if (!map) throw EWriteError("GIF encoding failed: out of memory");
    EGifSetGifVersion(gif, true);
    const int screen = EGifPutScreenDesc(gif, side, side, 8, kTransparentIndex, map);
    GifFreeMapObject(map);
    Check(screen, gif);

    // The application extension that asks viewers to loop; 0 means forever.
    static const char kLoopApplication[] = "NETSCAPE2.0";
    const GifByteType loopForever[3] = {1, 0, 0};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif);
    Check(EGifPutExtensionBlock(gif, 11, kLoopApplication), gif);
    Check(EGifPutExtensionBlock(gif, 3, loopForever), gif);
    Check(EGifPutExtensionTrailer(gif), gif);

    std::vector<GifPixelType> row(size_t(side), 0);
    for (size_t f = 0; f < frames.size(); ++f) {
        GraphicsControlBlock control{};
        // Each frame is drawn on a clear screen, so the previous frame
        // never shows through transparent pixels.
        control.DisposalMode = DISPOSE_BACKGROUND;
        control.DelayTime = GifDelay(document.FrameAt(int(f) + 1).rate);
        control.TransparentColor = kTransparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension), gif);
        Check(EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr), gif);
        for (int y = 0; y < side; ++y) {
            ScaledRow(frames[f], y / scale, scale, row.data());
            Check(EGifPutLine(gif, row.data(), side), gif);
        }
    }

    // Closed here instead, where a failure to finish the file is reported.
    if (EGifCloseFile(std::exchange(gif, nullptr), &error) == GIF_ERROR)
        throw EWriteError(std::string("GIF encoding failed: ") + GifErrorString(error));
    return out;
}
