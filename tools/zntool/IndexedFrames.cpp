#include "IndexedFrames.h"

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
        const IconImage& image = document.FrameAt(n).icon->image();
        IndexedFrame& frame = frames[size_t(n - 1)];
        // Opened documents hold 16×16 images; anything else is sampled.
        for (int y = 0; y < kFrameSize; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                const Rgba p = image.width > 0 && image.height > 0
                                   ? image.at(x * image.width / kFrameSize, y * image.height / kFrameSize)
                                   : Rgba{};
                frame.indices[size_t(y) * kFrameSize + size_t(x)] =
                    p.transparent() ? kTransparentIndex : uint8_t(NearestStandardIndex(p.rgb()) + 1);
            }
        }
    }
    return frames;
}

void ScaledRow(const IndexedFrame& frame, int y, int scale, uint8_t* out) {
    for (int x = 0; x < kFrameSize; ++x)
        for (int k = 0; k < scale; ++k) *out++ = frame.at(x, y);
}
