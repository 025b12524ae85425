// Any bytes as an ".ani" file, read and converted as the Open command does,
// on the budget of one read, which is then checked: a read that does more
// work than its input can justify aborts, whatever the machine's speed.
#include <cstdlib>

#include "core/AnimationLoader.h"
#include "formats/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadBudget budget;
    try {
        LoadCursorAnimation({data, size}, budget);
    } catch (const EZintraError&) {
    }
    // A cursor's images lie in it uncompressed, so its densest is a PNG entry
    // whose 1032:1 stream inflates to bytes of 8 one-bit pixels: 33 units a
    // byte with the pixels' 4 each, and no 1 MiB input needs the ceiling.
    if (budget.spent() >= budget.ceiling() || budget.spent() > 1032 * 33 * uint64_t(size) + (1 << 20)) std::abort();
    return 0;
}
