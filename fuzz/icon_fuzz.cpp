// Any bytes as a frame icon: loaded, decoded and imported both ways.
#include <vector>

#include "core/Conversion.h"
#include "formats/Errors.h"
#include "formats/FrameIcon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto icon = LoadFrameIcon(std::vector<uint8_t>(data, data + size));
        ImportFrameIcon(*icon, false);
        ImportFrameIcon(*icon, true);
        // Other display depths take other directory entries.
        for (uint16_t colours : {2, 16, 256}) DecodeFrameIcon({data, size}, colours);
    } catch (const EZintraError&) {
    }
    return 0;
}
