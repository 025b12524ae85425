// Any bytes as an ".ani" file, read and converted as the Open command does.
#include "core/AnimationLoader.h"
#include "formats/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        LoadCursorAnimation({data, size});
    } catch (const EZintraError&) {
    }
    return 0;
}
