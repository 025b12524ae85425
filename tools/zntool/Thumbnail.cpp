#include "Thumbnail.h"

#include "CacheFile.h"
#include "Failure.h"
#include "PngWriter.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/FrameIcon.h"

namespace {

TDocument ReadAnimation(const std::string& path) {
    // A file manager knows a ZN file by its content too, and may hand over
    // a copy under another name: anything but a cursor is read as ZN.
    // Only the first frame is shown, so only what it needs is read.
    const bool cursor = KindOfPath(path) == AnimationKind::AnimatedCursor;
    ReadBudget budget;
    return LoadFirstFrame(cursor ? AnimationKind::AnimatedCursor : AnimationKind::ZN, path, budget);
}

}  // namespace

void WriteThumbnail(const ConvertJob& job, int size) {
    TDocument document = ReadInput(job.input, [&] { return ReadAnimation(job.input); });
    while (document.Count() > 1) document.RemoveFrame(document.Count());
    // A thumbnail is the service's cache file, written where it was made.
    WriteOutput(job.output, [&] { return EncodePngStrip(document, size / kFrameSize); }, WriteCacheFile);
}
