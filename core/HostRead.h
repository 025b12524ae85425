#pragma once
// The one read of an animation for the programs that show one without
// editing it: the image loaders inside other people's programs, the tray
// player and zntool. It owns what such a read may cost (the file size cap
// and one budget per read), which failure becomes which message, and how
// bytes from the file become text; nothing it does throws. Each host only
// turns its input into a path or bytes and the result into its own types.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Document.h"
#include "formats/ReadBudget.h"
#include "formats/ZNFile.h"

// What a file is read as. By name, as zntool takes its inputs: ".ani" an
// animated cursor, ".gif" an animated GIF, ".png" a strip of square
// frames, anything else a ZN file, which is known by its content whatever
// its name. Bytes have no name: by name they are a ZN file.
enum class HostFormat { ByName, ZN, AnimatedCursor, Gif, PngStrip };

// What a player or a thumbnail takes a file for: an animated cursor by its
// name, anything else a ZN file.
HostFormat AnimationFormat(const std::string& path);

enum class HostExtent {
    Header,      // the fields and every frame's rate; no frame is imported
    FirstFrame,  // the fields and the first frame: a ZN file's later frames are neither read nor checked
    Whole,       // every frame, as the editor's Open reads them
};

struct HostRequest {
    HostFormat format = HostFormat::ByName;
    HostExtent extent = HostExtent::Whole;
    int32_t stripRate = kNewFrameRate;  // every frame's rate in a PNG strip
    // A read made in steps (a loader handed a file in pieces reads what it
    // has so far, then again with more) spends every step from one budget,
    // so the steps together cost what one read may; else each call has its own.
    ReadBudget* budget = nullptr;
};

struct HostFailure {
    enum class Kind { CannotOpen, Damaged, OutOfMemory };
    Kind kind = Kind::Damaged;
    std::string message;  // the words the editor uses ("Stream read error"), UTF-8
    std::string cause;    // why, for tools and logs, UTF-8; never empty
};

struct HostAnimation {
    HostFormat format = HostFormat::ZN;  // as read, never ByName
    // A ZN file's layout and version; known from a Header read.
    std::optional<ZNLayout> layout;
    std::optional<double> version;
    // The stored rate of every frame read: all of them but for FirstFrame.
    std::vector<int32_t> rates;
    // The fields as the file's 8-bit text (see HostText) and the frames the
    // extent asks for (none for Header), as the editor's Open makes them.
    TDocument document;
};

struct HostRead {
    std::optional<HostAnimation> animation;  // when the read succeeded
    HostFailure failure;                     // when it did not
};

HostRead ReadForHost(const std::string& path, const HostRequest& request);
HostRead ReadForHost(std::span<const uint8_t> file, const HostRequest& request);

// For a host that reports failures as exceptions (zntool, the tray's
// worker): the animation, or EZintraError with the failure's message and cause.
HostAnimation TakeAnimation(HostRead read);

// The most bytes read of a file of this format (by name: the largest).
size_t HostFileCap(HostFormat format);

// Whether a file of this many bytes is within the cap; else why not.
std::optional<HostFailure> CheckHostSize(uint64_t size, HostFormat format = HostFormat::ZN);
// Adds bytes a host is handed in pieces (a device, gdk-pixbuf's increments)
// to those gathered; past the cap it keeps nothing more and says why, so a
// stream longer than any such file fails before it fills memory.
std::optional<HostFailure> GatherHostBytes(std::vector<uint8_t>& gathered, std::span<const uint8_t> more,
                                           HostFormat format = HostFormat::ZN);

// A file's 8-bit text as UTF-8: every byte its Latin-1 character, as the
// editor shows it.
std::string HostText(std::string_view eightBit);
// Text from the system (a path) or from a library, as UTF-8: unchanged when
// it is valid UTF-8, else read as 8-bit text.
std::string SystemText(std::string_view text);
// The code points of valid UTF-8 (shortest forms, no surrogates), or
// nothing when the text is not valid UTF-8.
std::optional<std::u32string> Utf8CodePoints(std::string_view text);
