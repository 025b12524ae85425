#include "Convert.h"

#include "AniWriter.h"
#include "Failure.h"
#include "GifWriter.h"
#include "PictureImport.h"
#include "PngWriter.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "core/DocumentFile.h"
#include "formats/ZNFile.h"

namespace {

void ApplyFields(TDocument& document, const FieldOptions& fields) {
    if (fields.title) document.title = *fields.title;
    if (fields.authorName) document.authorName = *fields.authorName;
    if (fields.email) document.email = *fields.email;
    if (fields.homepage) document.homepage = *fields.homepage;
    if (fields.copyright) document.copyright = *fields.copyright;
    if (fields.comments) document.comments = *fields.comments;
    if (fields.categoryIndex) document.categoryIndex = *fields.categoryIndex;
}

// The editor will not save without a title and an author name, so a ZN
// file without them would send its user straight to the information dialog.
void RequireZNFields(const TDocument& document, const std::string& input) {
    const bool title = !IsBlank(document.title);
    const bool author = !IsBlank(document.authorName);
    if (title && author) return;
    std::string reason = "a ZN file needs ";
    if (!title && !author) reason += "a title and an author name; give them with --title and --author";
    else if (!title) reason += "a title; give one with --title";
    else reason += "an author name; give one with --author";
    throw EFileFailure(input, reason);
}

std::vector<uint8_t> Encode(const TDocument& document, const Invocation& invocation) {
    switch (invocation.format) {
    case OutputFormat::ZN: return EncodeZNFile(document);
    case OutputFormat::Gif: return EncodeGif(document, invocation.scale);
    case OutputFormat::Png: return EncodePngStrip(document, invocation.scale);
    case OutputFormat::AnimatedCursor: return EncodeAnimatedCursor(document);
    }
    return {};
}

}  // namespace

void ConvertAnimation(const ConvertJob& job, const Invocation& invocation) {
    TDocument document;
    try {
        document = LoadInput(job.input, invocation.stripRate);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.input, ReadFailureReason(job.input, error));
    }
    ApplyFields(document, invocation.fields);
    if (invocation.format == OutputFormat::ZN) RequireZNFields(document, job.input);

    std::vector<uint8_t> bytes;
    try {
        bytes = Encode(document, invocation);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.output, error.what());
    }
    try {
        WriteFileAtomically(job.output, bytes);
    } catch (const EZintraError& error) {
        throw EFileFailure(job.output, WriteFailureReason(job.output, error));
    }
}
