#include "Convert.h"

#include <filesystem>

#include "AniWriter.h"
#include "Failure.h"
#include "GifWriter.h"
#include "PngWriter.h"
#include "TextEncoding.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "core/HostRead.h"
#include "formats/Errors.h"
#include "core/DocumentFile.h"
#include "core/PictureImport.h"
#include "formats/ReadBudget.h"
#include "formats/ZNFile.h"

namespace {

void ApplyFields(TDocument& document, const FieldOptions& fields) {
    for (const TextFieldOption& option : kTextFieldOptions)
        if (const auto& text = fields.*option.option) document.*option.field = *text;
    if (fields.categoryIndex) document.categoryIndex = *fields.categoryIndex;
}

// Most cursors carry no title: such an input is called after its file,
// so a whole pack converts with one command. A name that 8-bit text
// cannot hold leaves the title empty.
void TitleFromFileName(TDocument& document, const std::string& input) {
    if (!document.title.empty()) return;
    const auto name = Latin1FromUtf8(std::filesystem::path(input).stem().string());
    if (name) document.title = name->substr(0, kMaxFieldLength);
}

// The editor's Save sends its user to the information dialog when the title
// or the author name is empty (zero length, nothing trimmed); anything it
// would save as it is converts as it is.
void RequireZNFields(const TDocument& document, const std::string& input) {
    const bool title = !document.title.empty();
    const bool author = !document.authorName.empty();
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
    TDocument document = ReadInput(job.input, [&] {
        return TakeAnimation(ReadForHost(job.input, {HostFormat::ByName, HostExtent::Whole, invocation.stripRate})).document;
    });
    TitleFromFileName(document, job.input);
    ApplyFields(document, invocation.fields);
    if (invocation.format == OutputFormat::ZN) RequireZNFields(document, job.input);
    WriteOutput(job.output, [&] { return Encode(document, invocation); });
}
