// Any bytes as a ".gif" file, composed and converted as zntool convert does,
// then what the read charged checked against what the bytes can ask for.
#include <cstdlib>

#include "core/PictureImport.h"
#include "formats/Errors.h"
#include "formats/ReadBudget.h"

namespace {

// A byte of LZW data stands for at most 2731 indices (a 12-bit code for up
// to 4096), each decoded, drawn, saved and restored; a frame costs 12 bytes
// at least and 5120 units (header and sampling); codes are at least a bit.
constexpr uint64_t kPerByte = 2731 * 4 * ReadBudget::kPixel + 5120 / 12 + 8 + 1;
// Charged once whatever the size: a 4096×4096 screen, the area one failing
// frame saved, and the widest row decoded before its data ran out.
constexpr uint64_t kOnce = (2 * 4096 * 4096 + 65535) * ReadBudget::kPixel;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadBudget budget;
    try {
        LoadGifAnimation({data, size}, budget);
    } catch (const EZintraError&) {
    }
    // A read that charged more than its bytes can ask for is a finding,
    // however fast the machine ran it.
    if (budget.spent() > kPerByte * size + kOnce) std::abort();
    return 0;
}
