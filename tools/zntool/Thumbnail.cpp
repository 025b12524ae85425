#include "Thumbnail.h"

#include "Failure.h"
#include "PngWriter.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "formats/SafeSave.h"
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
    TDocument document;
    try {
        document = ReadAnimation(job.input);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.input, ReadFailureReason(job.input, error));
    }
    while (document.Count() > 1) document.RemoveFrame(document.Count());

    std::vector<uint8_t> bytes;
    try {
        bytes = EncodePngStrip(document, size / kFrameSize);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.output, error.what());
    }
    try {
        WriteFileAtomically(job.output, bytes);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.output, WriteFailureReason(job.output, error));
    }
}
