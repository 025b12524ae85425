// Any bytes as a ".zn" file, read and converted as the Open command does,
// on the budget of one read, which is then checked: a read that charges
// more than its input can justify aborts, whatever the machine's speed.
#include <cstdlib>

#include "core/AnimationLoader.h"
#include "formats/Errors.h"
#include "formats/Inflater.h"
#include "formats/ZNFile.h"

namespace {

// The reader alone: the most the inflater charges per byte of a stream,
// then a fixed part for the frame records and strings a payload can hold.
constexpr uint64_t kReaderUnitsPerByte = Inflater::kMostUnitsPerInputByte + 1;
constexpr uint64_t kReaderUnits = uint64_t(1) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadBudget reading;
    try {
        TZNFile().ReadBytes({data, size}, reading);
    } catch (const EZintraError&) {
    }
    if (reading.spent() > kReaderUnitsPerByte * size + kReaderUnits) std::abort();
    // The whole Open: frames decoded from the outer stream compound its
    // ratio with their own, so a small input may reach the ceiling (blocks
    // that give nothing are priced at the costliest); what it must not do
    // is spend time the budget does not see, which the time-out catches.
    ReadBudget budget;
    try {
        LoadZNAnimation({data, size}, budget);
    } catch (const EZintraError&) {
    }
    if (budget.held() != 0) std::abort();  // memory the read did not give back
    return 0;
}
