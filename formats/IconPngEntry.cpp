#include "formats/IconPngEntry.h"

#include <algorithm>

#include "formats/IconLayout.h"
#include "formats/PngImage.h"

namespace {

// The directory's size, which the picture must have. A PNG cut short by the
// end of the icon fails in the decoder.
PngLimits DirectorySize(const ChosenEntry& chosen) {
    const uint32_t width = chosen.entry.width ? chosen.entry.width : kMaxIconSide;
    const uint32_t height = chosen.entry.height ? chosen.entry.height : kMaxIconSide;
    return {width, height, true};
}

IconImage BlackWhereTransparent(IconImage image) {
    for (Rgba& p : image.pixels)
        if (p.alpha == 0) p = {};
    return image;
}

}  // namespace

bool IsPngEntry(const ChosenEntry& chosen) { return IsPng(chosen.data.available()); }

IconImage DecodePngEntry(const ChosenEntry& chosen, ReadBudget& budget) {
    return BlackWhereTransparent(DecodePngImage(chosen.data.available(), DirectorySize(chosen), budget));
}

IconImage SamplePngEntry(const ChosenEntry& chosen, ReadBudget& budget) {
    return BlackWhereTransparent(SamplePngImage(chosen.data.available(), DirectorySize(chosen), budget));
}

void DecodePngEntry(const ChosenEntry& chosen, ImageTarget& target, ReadBudget& budget) {
    const PngLimits limits = DirectorySize(chosen);
    IconImage image = target.sampling() ? SamplePngEntry(chosen, budget) : DecodePngEntry(chosen, budget);
    // The sample is already the frame: its source size is the directory's.
    target.begin(target.sampling() ? int(limits.maxWidth) : image.width,
                 target.sampling() ? int(limits.maxHeight) : image.height, budget);
    for (int y = 0; y < target.height(); ++y)
        std::copy_n(&image.pixels[size_t(y) * size_t(image.width)], target.width(), target.row(y));
}
