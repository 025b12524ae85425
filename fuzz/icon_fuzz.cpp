// Any bytes as a frame icon: loaded, decoded and imported both ways, on one
// budget per input that the read may neither outgrow nor leave memory on.
#include <cstdlib>
#include <vector>

#include "core/Conversion.h"
#include "formats/Errors.h"
#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"
#include "formats/Inflater.h"
#include "formats/ReadBudget.h"

namespace {

// Five reads of the bytes below, each at most what the inflater charges
// per byte of a stream, twice over where libpng inflates a profile itself;
// and a fixed part for what a 62-byte header can announce: five reads of
// a 256×256 picture or a 65535-entry directory.
constexpr uint64_t kUnitsPerInputByte = 5 * 2 * (Inflater::kMostUnitsPerInputByte + 1);
constexpr uint64_t kUnitsPerInput = uint64_t(16) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadBudget budget;
    try {
        const auto icon = LoadFrameIcon(std::vector<uint8_t>(data, data + size));
        ImportFrameIcon(*icon, false, budget);
        ImportFrameIcon(*icon, true, budget);
        // Other display depths take other directory entries.
        for (uint16_t colours : {2, 16, 256}) {
            ImageTarget whole(ImageTarget::Size::Stored);
            DecodeFrameIcon({data, size}, whole, budget, colours);
        }
    } catch (const EZintraError&) {
    }
    if (budget.spent() > kUnitsPerInputByte * size + kUnitsPerInput || budget.held() != 0) abort();
    return 0;
}
