// Any bytes as a ".gif" file, composed and converted as zntool convert does.
#include "formats/Errors.h"
#include "tools/zntool/PictureImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        LoadGifAnimation({data, size});
    } catch (const EZintraError&) {
    }
    return 0;
}
