#include "IndexedFrames.h"

#include "core/Conversion.h"
#include "core/Document.h"

std::array<Rgb, kPaletteSize> OutputPalette() {
    std::array<Rgb, kPaletteSize> palette{};
    palette[kTransparentIndex] = kKeyColour;
    for (size_t i = 0; i < kStandardColours.size(); ++i) palette[i + 1] = kStandardColours[i];
    return palette;
}

std::vector<IndexedFrame> IndexFrames(const TDocument& document) {
    std::vector<IndexedFrame> frames(size_t(document.Count()));
    for (int n = 1; n <= document.Count(); ++n) {
        // Opened documents hold 16×16 images already; this only guards.
        const IconImage image = ScaleToFrame(document.FrameAt(n).icon->image());
        IndexedFrame& frame = frames[size_t(n - 1)];
        for (size_t p = 0; p < frame.indices.size(); ++p) {
            const Rgba pixel = image.pixels[p];
            frame.indices[p] = pixel.transparent() ? kTransparentIndex : uint8_t(NearestStandardIndex(pixel.rgb()) + 1);
        }
    }
    return frames;
}

void ScaledRow(const IndexedFrame& frame, int y, int scale, uint8_t* out) {
    for (int x = 0; x < kFrameSize; ++x)
        for (int k = 0; k < scale; ++k) *out++ = frame.at(x, y);
}
