#include "formats/IconPngEntry.h"

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

}  // namespace

bool IsPngEntry(const ChosenEntry& chosen) { return IsPng(chosen.data.available()); }

void DecodePngEntry(const ChosenEntry& chosen, ImageTarget& target, ReadBudget& budget) {
    DecodePng(chosen.data.available(), DirectorySize(chosen), target, budget);
    for (int y = 0; y < target.height(); ++y)
        for (Rgba *p = target.row(y), *end = p + target.width(); p != end; ++p)
            if (p->alpha == 0) *p = {};
}
