// Any bytes as a frame icon: loaded, decoded and imported both ways, on one
// budget per input that the read may neither exhaust nor outgrow.
#include <cstdlib>
#include <vector>

#include "core/Conversion.h"
#include "formats/Errors.h"
#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"
#include "formats/ReadBudget.h"

namespace {

// Deflate inflates at most about 1032:1 and what is inflated is handled once
// more; a 62-byte header can announce a 256×256 picture and a 6-byte one
// 65535 directory entries, so c covers the five reads below of such a file.
constexpr uint64_t kUnitsPerInputByte = 2 * 1032;
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
    if (budget.spent() >= budget.ceiling() || budget.spent() > kUnitsPerInputByte * size + kUnitsPerInput) abort();
    return 0;
}
