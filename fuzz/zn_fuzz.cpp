// Any bytes as a ".zn" file, read and converted as the Open command does,
// on the budget of one read, which is then checked: a read that does more
// work than its input can justify aborts, whatever the machine's speed.
#include <cstdlib>

#include "core/AnimationLoader.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader alone: its bytes, and zlib inflates at most 1032 bytes per
    // byte of input (a few more for a stream of a few bytes).
    ReadBudget reading;
    try {
        TZNFile().ReadBytes({data, size}, reading);
    } catch (const EZintraError&) {
    }
    if (reading.spent() > 1033 * uint64_t(size) + 4096) std::abort();
    // The whole Open: frames decoded from the outer stream compound its ratio
    // with their own, so here the ceiling is the measure. No input of at most
    // 1 MiB should need it: one that reaches it is an amplification to mend.
    ReadBudget budget;
    try {
        LoadZNAnimation({data, size}, budget);
    } catch (const EZintraError&) {
    }
    if (budget.spent() >= budget.ceiling()) std::abort();
    return 0;
}
