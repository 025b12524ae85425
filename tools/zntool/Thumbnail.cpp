#include "Thumbnail.h"

#include "Failure.h"
#include "PngWriter.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "formats/FrameIcon.h"
#include "formats/ZNFile.h"

namespace {

// As much as the ZN reader itself takes: its largest payload, compressed.
constexpr size_t kMaxZNInput = kMaxZNPayload + (size_t(1) << 20);

TDocument ReadAnimation(const std::string& path) {
    // A file manager knows a ZN file by its content too, and may hand over
    // a copy under another name: anything but a cursor is read as ZN.
    if (KindOfPath(path) == AnimationKind::Other) return LoadZNAnimation(ReadFileBytes(path, kMaxZNInput));
    return LoadAnimation(path);
}

}  // namespace

void WriteThumbnail(const ConvertJob& job, int size) {
    TDocument document = ReadInput(job.input, [&] { return ReadAnimation(job.input); });
    while (document.Count() > 1) document.RemoveFrame(document.Count());
    WriteOutput(job.output, [&] { return EncodePngStrip(document, size / kFrameSize); });
}
