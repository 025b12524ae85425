// Any bytes as a ".gif" file, composed and converted as zntool convert does,
// then what the read charged checked against what the bytes can ask for.
#include <cstdlib>

#include "core/PictureImport.h"
#include "formats/Errors.h"
#include "formats/GifImage.h"
#include "formats/ReadBudget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadBudget budget;
    try {
        LoadGifAnimation({data, size}, budget);
    } catch (const EZintraError&) {
    }
    // A read that charged more than its bytes can ask for is a finding,
    // however fast the machine ran it: the composer's own bound, and a
    // frame icon for each frame, of which a byte holds at most a twelfth.
    if (budget.spent() > (kGifUnitsPerByte + kGifFrameIconUnits / 12) * size + kGifUnitsOnce) std::abort();
    return 0;
}
