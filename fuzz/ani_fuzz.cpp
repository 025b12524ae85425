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
    // whose 1032:1 stream inflates to rows, each byte unfiltered and
    // converted (8 one-bit pixels) at most at 8 units; the memory it held
    // is all given back.
    if (budget.spent() > 1032 * 8 * uint64_t(size) + (1 << 20) || budget.held() != 0) std::abort();
    return 0;
}
