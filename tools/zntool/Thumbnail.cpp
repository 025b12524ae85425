#include "Thumbnail.h"

#include "CacheFile.h"
#include "Failure.h"
#include "PngWriter.h"
#include "core/HostRead.h"

void WriteThumbnail(const ConvertJob& job, int size) {
    // A file manager knows a ZN file by its content too, and may hand over
    // a copy under another name: anything but a cursor is read as ZN. Only
    // the first frame is shown, so only what it needs is read.
    const HostRequest request{AnimationFormat(job.input), HostExtent::FirstFrame};
    const TDocument document =
        ReadInput(job.input, [&] { return TakeAnimation(ReadForHost(job.input, request)).document; });
    // A thumbnail is the service's cache file, written where it was made.
    WriteOutput(job.output, [&] { return EncodePngStrip(document, size / kFrameSize); }, WriteCacheFile);
}
