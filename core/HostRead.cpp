#include "core/HostRead.h"

#include <new>
#include <stdexcept>

#include "core/AnimationLoader.h"
#include "core/PictureImport.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "formats/FileExtension.h"
#include "formats/ReadBudget.h"

namespace {

HostFormat FormatOfName(const std::string& path) {
    const std::string extension = FileExtension(path);
    if (extension == ".ani") return HostFormat::AnimatedCursor;
    if (extension == ".gif") return HostFormat::Gif;
    if (extension == ".png") return HostFormat::PngStrip;
    return HostFormat::ZN;
}

// A ZN file's fields and rates without importing a frame, as Open would
// take them: the category counts from per-frame-rate versions on.
HostAnimation ZNHeader(std::span<const uint8_t> file, ReadBudget& budget) {
    TZNFile reader;
    reader.ReadBytes(file, budget);
    HostAnimation read;
    read.layout = reader.Layout();
    read.version = reader.Version();
    TDocument& document = read.document;
    document.ClearDocument();
    document.title = reader.Title();
    document.authorName = reader.AuthorName();
    document.email = reader.Email();
    document.homepage = reader.Homepage();
    document.copyright = reader.Copyright();
    document.comments = reader.Comments();
    if (reader.Version() >= kPerFrameRatesVersion) document.categoryIndex = reader.Category();
    read.rates.reserve(size_t(reader.FrameCount()));
    for (int i = 0; i < reader.FrameCount(); ++i) read.rates.push_back(reader.Rate(i));
    return read;
}

HostAnimation CursorHeader(std::span<const uint8_t> file, ReadBudget& budget) {
    TAnimatedCursorImage reader;
    reader.ReadCursorBytes(file, budget);
    HostAnimation read;
    read.format = HostFormat::AnimatedCursor;
    read.document.ClearDocument();
    read.document.title = reader.Title();
    read.document.authorName = reader.Creator();
    read.rates.reserve(size_t(reader.FrameCount()));
    for (int i = 0; i < reader.FrameCount(); ++i) read.rates.push_back(reader.FrameRate(i));
    return read;
}

TDocument Document(std::span<const uint8_t> file, HostFormat format, const HostRequest& request, ReadBudget& budget) {
    const bool first = request.extent == HostExtent::FirstFrame;
    switch (format) {
    case HostFormat::ByName:
    case HostFormat::ZN:
        return first ? LoadFirstFrame(AnimationKind::ZN, file, budget) : LoadZNAnimation(file, budget);
    case HostFormat::AnimatedCursor:
        return first ? LoadFirstFrame(AnimationKind::AnimatedCursor, file, budget) : LoadCursorAnimation(file, budget);
    case HostFormat::Gif: return LoadGifAnimation(file, budget);
    case HostFormat::PngStrip: return LoadPngStrip(file, request.stripRate, budget);
    }
    throw std::logic_error("unknown format");
}

HostAnimation Read(std::span<const uint8_t> file, HostFormat format, const HostRequest& request) {
    ReadBudget own;  // one per read
    ReadBudget& budget = request.budget ? *request.budget : own;
    if (request.extent == HostExtent::Header) {
        if (format == HostFormat::ZN) return ZNHeader(file, budget);
        if (format == HostFormat::AnimatedCursor) return CursorHeader(file, budget);
    }
    HostAnimation read;
    read.format = format;
    read.document = Document(file, format, request, budget);
    // Pictures are read whole: the frames not asked for are dropped, and a
    // header keeps their rates alone.
    TDocument& document = read.document;
    read.rates.reserve(size_t(document.Count()));
    for (int n = 1; n <= document.Count(); ++n) read.rates.push_back(document.FrameAt(n).rate);
    if (request.extent == HostExtent::Header) document.ClearDocument();
    if (request.extent == HostExtent::FirstFrame)
        for (; document.Count() > 1; read.rates.pop_back()) document.RemoveFrame(document.Count());
    return read;
}

HostFailure Failure(HostFailure::Kind kind, std::string message, std::string cause) {
    if (cause.empty()) cause = message;
    return {kind, std::move(message), std::move(cause)};
}

// Runs a read and turns whatever it throws into the failure a host reports.
template <typename Work>
HostRead Guarded(Work work) {
    using Kind = HostFailure::Kind;
    HostRead result;
    try {
        result.animation = work();
    } catch (const EFOpenError& e) {
        result.failure = Failure(Kind::CannotOpen, SystemText(e.what()), SystemText(e.cause()));
    } catch (const EOutOfResources& e) {
        result.failure = Failure(Kind::OutOfMemory, SystemText(e.what()), SystemText(e.cause()));
    } catch (const EConvertError& e) {
        // The message quotes the file's own text.
        result.failure = Failure(Kind::Damaged, HostText(e.what()), HostText(e.cause()));
    } catch (const EZintraError& e) {
        result.failure = Failure(Kind::Damaged, SystemText(e.what()), SystemText(e.cause()));
    } catch (const std::bad_alloc&) {
        result.failure = Failure(Kind::OutOfMemory, messages::kOutOfResources, "not enough memory");
    } catch (const std::length_error&) {
        result.failure = Failure(Kind::OutOfMemory, messages::kOutOfResources, "more memory than can be asked for");
    } catch (const std::exception& e) {
        result.failure = Failure(Kind::Damaged, messages::kStreamRead, "internal error: " + SystemText(e.what()));
    } catch (...) {
        result.failure = Failure(Kind::Damaged, messages::kStreamRead, "internal error");
    }
    return result;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

}  // namespace

HostFormat AnimationFormat(const std::string& path) {
    return FormatOfName(path) == HostFormat::AnimatedCursor ? HostFormat::AnimatedCursor : HostFormat::ZN;
}

HostRead ReadForHost(const std::string& path, const HostRequest& request) {
    return Guarded([&] {
        const HostFormat format = request.format == HostFormat::ByName ? FormatOfName(path) : request.format;
        return Read(ReadFileBytes(path, HostFileCap(format)), format, request);
    });
}

HostRead ReadForHost(std::span<const uint8_t> file, const HostRequest& request) {
    const HostFormat format = request.format == HostFormat::ByName ? HostFormat::ZN : request.format;
    if (auto failure = CheckHostSize(file.size(), format)) return {std::nullopt, std::move(*failure)};
    return Guarded([&] { return Read(file, format, request); });
}

HostAnimation TakeAnimation(HostRead read) {
    if (!read.animation) throw EZintraError(read.failure.message, read.failure.cause);
    return std::move(*read.animation);
}

size_t HostFileCap(HostFormat format) {
    // A compressed ZN file may be a little longer than the payload it holds.
    return format == HostFormat::ZN || format == HostFormat::ByName ? kMaxZNFile : kMaxInputFileBytes;
}

std::optional<HostFailure> CheckHostSize(uint64_t size, HostFormat format) {
    if (size <= HostFileCap(format)) return std::nullopt;
    return Failure(HostFailure::Kind::Damaged, messages::kStreamRead,
                   "the file holds more than " + std::to_string(HostFileCap(format)) + " bytes");
}

std::optional<HostFailure> GatherHostBytes(std::vector<uint8_t>& gathered, std::span<const uint8_t> more,
                                           HostFormat format) {
    if (auto failure = CheckHostSize(uint64_t(gathered.size()) + more.size(), format)) return failure;
    try {
        gathered.insert(gathered.end(), more.begin(), more.end());
    } catch (const std::bad_alloc&) {
        return Failure(HostFailure::Kind::OutOfMemory, messages::kOutOfResources, "not enough memory");
    }
    return std::nullopt;
}

std::string HostText(std::string_view eightBit) {
    std::string out;
    out.reserve(eightBit.size());
    for (char ch : eightBit) AppendUtf8(out, char32_t(uint8_t(ch)));
    return out;
}

std::string SystemText(std::string_view text) { return Utf8CodePoints(text) ? std::string(text) : HostText(text); }

std::optional<std::u32string> Utf8CodePoints(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        const int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (length == 0 || size_t(length) > text.size() - i) return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = uint8_t(text[i + size_t(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = c << 6 | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
        out.push_back(c);
        i += size_t(length);
    }
    return out;
}
