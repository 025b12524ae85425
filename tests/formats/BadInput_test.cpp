// Damaged files of every kind, read and converted as the Open command does:
// each gives a document the editor can hold or fails with one of the
// system's messages, and never crashes, hangs or allocates beyond the caps.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>
#include <new>
#include <random>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>
#include <zlib.h>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

// --- Allocation watch ---------------------------------------------------------
// Every operator new of this binary passes through here, so a test sees the
// largest single request and the peak of live heap bytes while it runs.

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};
std::atomic<size_t> g_largest{0};
// Requests this large are refused outright, so a reader that asks for
// gigabytes fails its test rather than the machine.
constexpr size_t kRefusedRequest = size_t(1) << 30;

void* Allocate(size_t size) {
    if (size > g_largest) g_largest = size;
    if (size >= kRefusedRequest) throw std::bad_alloc();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const size_t live = g_live += malloc_usable_size(p);
    if (live > g_peak) g_peak = live;
    return p;
}

void Release(void* p) noexcept {
    if (!p) return;
    g_live -= malloc_usable_size(p);
    std::free(p);
}

void* AllocateOrNull(size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

// From construction on: the largest single request, and how far live heap
// bytes rose above where they stood.
class AllocationWatch {
public:
    AllocationWatch() : m_base(g_live) {
        g_peak = m_base;
        g_largest = 0;
    }
    size_t largest() const { return g_largest; }
    size_t peak() const { return g_peak - m_base; }

private:
    size_t m_base;
};

// The inputs below are at most a few kilobytes. The most any of them can
// justify is a decoded 256×256 icon or a short stream inflated a
// thousandfold, both well under these bounds.
constexpr size_t kSweepLargestRequest = size_t(4) << 20;
constexpr size_t kSweepPeak = size_t(16) << 20;

using Bytes = std::vector<uint8_t>;
using test::ZNBuilder;

// --- Opening ------------------------------------------------------------------

// Reads and converts as the Open command does.
TDocument OpenZN(std::span<const uint8_t> file) { ReadBudget budget; return LoadZNAnimation(file, budget); }
TDocument OpenCursor(std::span<const uint8_t> file) { ReadBudget budget; return LoadCursorAnimation(file, budget); }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The texts the system reports: the fixed messages, and the conversion
// messages around whatever text a decimal field held.
bool IsSystemMessage(const EZintraError& error) {
    const std::string text = error.what();
    if (dynamic_cast<const EConvertError*>(&error))
        return text.size() >= 2 && text.front() == '\'' &&
               (EndsWith(text, "' is not a valid integer value") ||
                EndsWith(text, "' is not a valid floating point value"));
    for (const char* message : {messages::kStreamRead, messages::kInvalidIcon, messages::kOutOfResources,
                                messages::kNotZN, messages::kInflate})
        if (text == message) return true;
    return false;
}

// What is wrong with a document that opened, or "" when the editor can
// hold it: 1 to kMaxFrames frames, each a built 16×16 icon whose pixels
// are opaque or transparent.
std::string DocumentProblem(const TDocument& document) {
    if (document.Count() < 1 || document.Count() > kMaxFrames)
        return "opened with " + std::to_string(document.Count()) + " frames";
    for (int n = 1; n <= document.Count(); ++n) {
        const TFrameIcon& icon = *document.FrameAt(n).icon;
        if (icon.state() != TFrameIcon::State::Built) return "frame " + std::to_string(n) + " is not a built icon";
        const IconImage& image = icon.image();
        if (image.width != kFrameSize || image.height != kFrameSize || image.pixels.size() != 256)
            return "frame " + std::to_string(n) + " is not 16x16";
        for (Rgba p : image.pixels)
            if (p.alpha != 0 && p.alpha != 255) return "frame " + std::to_string(n) + " is partly transparent";
    }
    return "";
}

// One input's fate.
struct Outcome {
    bool opened = false;
    std::string message;  // the failure's text
    std::string problem;  // why the outcome is not allowed; empty when it is
};

template <typename Open>
Outcome Attempt(Open open, std::span<const uint8_t> bytes) {
    Outcome out;
    AllocationWatch watch;
    try {
        const TDocument document = open(bytes);
        out.opened = true;
        out.problem = DocumentProblem(document);
    } catch (const EZintraError& e) {
        out.message = e.what();
        if (!IsSystemMessage(e)) out.problem = std::string("unknown message '") + e.what() + "'";
    } catch (const std::exception& e) {
        out.problem = std::string("escaped ") + typeid(e).name() + " '" + e.what() + "'";
    }
    if (watch.largest() > kSweepLargestRequest)
        out.problem += " asked for " + std::to_string(watch.largest()) + " bytes at once";
    if (watch.peak() > kSweepPeak) out.problem += " held " + std::to_string(watch.peak()) + " bytes";
    return out;
}

// Tallies a sweep and keeps the first few disallowed outcomes for the report.
class Sweep {
public:
    void record(const std::string& input, const Outcome& outcome) {
        ++(outcome.opened ? m_opened : m_failed);
        if (outcome.problem.empty()) return;
        if (++m_problems <= 12) m_report += "\n  " + input + ": " + outcome.problem;
    }
    int opened() const { return m_opened; }
    int failed() const { return m_failed; }
    int problems() const { return m_problems; }
    const std::string& report() const { return m_report; }

private:
    int m_opened = 0, m_failed = 0, m_problems = 0;
    std::string m_report;
};

std::string At(size_t offset, int value) {
    return "byte " + std::to_string(offset) + " = " + std::to_string(value);
}

// A span of byte offsets, [begin, end).
struct Range {
    size_t begin = 0, end = 0;
    bool holds(size_t offset) const { return offset >= begin && offset < end; }
};

// Every other value of every byte outside the skipped ranges.
template <typename Open>
Sweep EveryByteValue(Open open, const Bytes& original, const std::vector<Range>& skipped = {}) {
    Sweep sweep;
    Bytes bytes = original;
    for (size_t offset = 0; offset < bytes.size(); ++offset) {
        if (std::any_of(skipped.begin(), skipped.end(), [&](Range r) { return r.holds(offset); })) continue;
        for (int value = 0; value < 256; ++value) {
            if (value == original[offset]) continue;
            bytes[offset] = uint8_t(value);
            sweep.record(At(offset, value), Attempt(open, bytes));
        }
        bytes[offset] = original[offset];
    }
    return sweep;
}

template <typename Open>
Sweep SampledByteValues(Open open, const Bytes& original, int count, uint32_t seed) {
    Sweep sweep;
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> offsetOf(0, original.size() - 1);
    std::uniform_int_distribution<int> change(1, 255);
    Bytes bytes = original;
    for (int i = 0; i < count; ++i) {
        const size_t offset = offsetOf(random);
        const int value = (original[offset] + change(random)) % 256;  // never the byte itself
        bytes[offset] = uint8_t(value);
        sweep.record(At(offset, value), Attempt(open, bytes));
        bytes[offset] = original[offset];
    }
    return sweep;
}

// Every proper prefix must fail; expected gives the message for a length.
template <typename Open, typename Expected>
Sweep EveryTruncation(Open open, const Bytes& original, Expected expected) {
    Sweep sweep;
    for (size_t length = 0; length < original.size(); ++length) {
        Outcome outcome = Attempt(open, std::span(original).first(length));
        if (outcome.opened)
            outcome.problem += " a truncated file opened";
        else if (outcome.message != expected(length))
            outcome.problem += " failed with '" + outcome.message + "'";
        sweep.record("length " + std::to_string(length), outcome);
    }
    return sweep;
}

// --- Inputs -------------------------------------------------------------------

// A frame in standard colours with a transparent patch; seed varies it.
IconImage Pattern(int seed) {
    return test::MakeImage(16, 16, [seed](int x, int y) {
        if ((x + seed) % 7 == 0 && y < 5) return test::Clear();
        return test::Opaque(kStandardColours[size_t((x * (seed + 1) + 3 * y + seed) % 16)]);
    });
}

Bytes FrameIconBytes(int seed) { return EncodeFrameIcon(Pattern(seed)); }

// 16×16 at 1 bit: the smallest icon that still has a colour table.
Bytes SmallIcon(int seed) { return test::BuildIcon(Pattern(seed), 1); }

// Two frames: the writer's own 4-bit icon and a small 1-bit one, so that
// changes reach two of the icon decoders.
Bytes SmallPayload() {
    return ZNBuilder().currentHeader(2, 3.0, 4, "Sweep", "Tester")
        .frame(10, FrameIconBytes(1))
        .frame(20, SmallIcon(2))
        .payload();
}

// Six frames at depths 4, 8 and 24, and one icon holding a 32-bit image
// with partial alpha beside a 4-bit one.
Bytes LargerPayload() {
    IconImage alpha = Pattern(6);
    for (size_t i = 0; i < alpha.pixels.size(); ++i) alpha.pixels[i].alpha = uint8_t(i % 3 == 0 ? 0 : i);
    return ZNBuilder().currentHeader(6, 3.0, 7, "Larger", "Tester")
        .frame(5, FrameIconBytes(3))
        .frame(6, FrameIconBytes(4))
        .frame(7, test::BuildIcon(Pattern(5), 8))
        .frame(8, test::BuildIcon(Pattern(7), 24))
        .frame(9, test::BuildIcon({test::IconEntry{alpha, 32, -1, {}}, test::IconEntry{Pattern(8), 4, -1, {}}}))
        .frame(10, FrameIconBytes(9))
        .payload();
}

Bytes LegacyFile() {
    return ZNBuilder().legacyHeader("2.5", "318", "4", "2", "Old title")
        .bytes(FrameIconBytes(10)).bytes(FrameIconBytes(11)).payload();
}

// Where an icon's colour table and pixel rows lie in a file that holds it.
// Any value there makes a valid image, so the exhaustive sweeps leave them
// to the sampled ones and change every byte that shapes the file.
Range PixelsOf(const Bytes& file, const Bytes& icon) {
    constexpr size_t kIconHeaders = 6 + 16 + 40;
    const auto at = std::search(file.begin(), file.end(), icon.begin(), icon.end());
    EXPECT_NE(at, file.end());
    const size_t begin = size_t(at - file.begin());
    return {begin + kIconHeaders, begin + icon.size()};
}

std::string TruncatedZN(size_t length) { return length < 2 ? messages::kInflate : messages::kStreamRead; }
std::string TruncatedStream(size_t) { return messages::kInflate; }

void ExpectClean(const Sweep& sweep) {
    EXPECT_EQ(sweep.problems(), 0) << sweep.report();
}

// Both kinds of outcome occur, so the sweep reached past the first check.
void ExpectBothOutcomes(const Sweep& sweep) {
    EXPECT_GT(sweep.opened(), 0);
    EXPECT_GT(sweep.failed(), 0);
}

// --- ZN files -----------------------------------------------------------------

TEST(BadZNInput, TheUndamagedInputsOpen) {
    for (const Bytes& file : {ZNBuilder::Compress(SmallPayload()), SmallPayload(), LargerPayload(),
                              ZNBuilder::Compress(LargerPayload()), LegacyFile()}) {
        const Outcome outcome = Attempt(OpenZN, file);
        EXPECT_TRUE(outcome.opened) << outcome.message;
        EXPECT_EQ(outcome.problem, "");
    }
}

TEST(BadZNInput, EveryTruncationOfACompressedFileFails) {
    ExpectClean(EveryTruncation(OpenZN, ZNBuilder::Compress(LargerPayload()), TruncatedStream));
}

TEST(BadZNInput, EveryTruncationOfAPayloadFails) {
    ExpectClean(EveryTruncation(OpenZN, LargerPayload(), TruncatedZN));
}

TEST(BadZNInput, EveryTruncationOfALegacyFileFails) {
    ExpectClean(EveryTruncation(OpenZN, LegacyFile(), TruncatedZN));
}

TEST(BadZNInput, EveryByteValueOfASmallCompressedFile) {
    const Sweep sweep = EveryByteValue(OpenZN, ZNBuilder::Compress(SmallPayload()));
    ExpectClean(sweep);
    EXPECT_GT(sweep.failed(), 0);
}

TEST(BadZNInput, EveryByteValueOfASmallPayloadOutsideItsPixels) {
    const Bytes payload = SmallPayload();
    const Sweep sweep = EveryByteValue(OpenZN, payload, {PixelsOf(payload, FrameIconBytes(1)),
                                                         PixelsOf(payload, SmallIcon(2))});
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

TEST(BadZNInput, EveryByteValueOfALegacyFileOutsideItsPixels) {
    const Bytes file = LegacyFile();
    const Sweep sweep = EveryByteValue(OpenZN, file, {PixelsOf(file, FrameIconBytes(10)),
                                                      PixelsOf(file, FrameIconBytes(11))});
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

TEST(BadZNInput, SampledByteValuesOfALegacyFile) {
    const Sweep sweep = SampledByteValues(OpenZN, LegacyFile(), 20'000, 3);
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

TEST(BadZNInput, SampledByteValuesOfALargerPayload) {
    const Sweep sweep = SampledByteValues(OpenZN, LargerPayload(), 20'000, 1);
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

TEST(BadZNInput, SampledByteValuesOfALargerCompressedFile) {
    ExpectClean(SampledByteValues(OpenZN, ZNBuilder::Compress(LargerPayload()), 20'000, 2));
}

// --- Animated cursors ---------------------------------------------------------

// A 32×32 image of a 16×16 one, each pixel doubled.
IconImage Doubled(const IconImage& image) {
    return test::MakeImage(32, 32, [&](int x, int y) { return image.at(x / 2, y / 2); });
}

// Three images, as cursors hold them: 32×32 at 4 bits, 16×16 at 1 bit and
// 32×32 at 32 bits with alpha.
Bytes MultiFrameCursor() {
    IconImage alpha = Doubled(Pattern(14));
    for (size_t i = 0; i < alpha.pixels.size(); ++i) alpha.pixels[i].alpha = uint8_t(i % 5 == 0 ? 0 : 255 - i % 7);
    const std::vector<Bytes> icons{test::BuildIcon(Doubled(Pattern(12)), 4),
                                   test::BuildIcon(Pattern(13), 1), test::BuildIcon(alpha, 32)};
    std::vector<Bytes> iconChunks;
    for (const Bytes& icon : icons) iconChunks.push_back(test::Chunk("icon", icon));
    return test::Riff("ACON", {test::List("INFO", {test::Chunk("INAM", test::Text("Sweep")),
                                                   test::Chunk("IART", test::Text("Tester"))}),
                               test::HeaderChunk({.frames = 3, .steps = 3, .rate = 6, .flags = 3}),
                               test::Chunk("rate", test::Words({5, 6, 7})),
                               test::Chunk("seq ", test::Words({0, 1, 2})),
                               test::List("fram", iconChunks)});
}

// Two small 1-bit frames: every byte of it can be changed in turn.
Bytes SmallCursor() { return test::SampleCursor({SmallIcon(15), SmallIcon(16)}); }

TEST(BadCursorInput, TheUndamagedCursorsOpen) {
    for (const Bytes& file : {MultiFrameCursor(), SmallCursor()}) {
        const Outcome outcome = Attempt(OpenCursor, file);
        EXPECT_TRUE(outcome.opened) << outcome.message;
        EXPECT_EQ(outcome.problem, "");
    }
    EXPECT_EQ(OpenCursor(MultiFrameCursor()).Count(), 3);
}

TEST(BadCursorInput, EveryTruncationOfAMultiFrameCursor) {
    Sweep sweep;
    const Bytes file = MultiFrameCursor();
    for (size_t length = 0; length < file.size(); ++length)
        sweep.record("length " + std::to_string(length), Attempt(OpenCursor, std::span(file).first(length)));
    ExpectClean(sweep);
    EXPECT_GT(sweep.failed(), 0);
}

TEST(BadCursorInput, EveryByteValueOfASmallCursorOutsideItsPixels) {
    const Bytes file = SmallCursor();
    const Sweep sweep = EveryByteValue(OpenCursor, file, {PixelsOf(file, SmallIcon(15)), PixelsOf(file, SmallIcon(16))});
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

TEST(BadCursorInput, SampledByteValuesOfAMultiFrameCursor) {
    const Sweep sweep = SampledByteValues(OpenCursor, MultiFrameCursor(), 20'000, 4);
    ExpectClean(sweep);
    ExpectBothOutcomes(sweep);
}

// --- Found by the sweeps --------------------------------------------------------

std::string ConvertMessage(const Bytes& file) {
    try {
        OpenZN(file);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "no conversion error";
}

// A zero byte inside a decimal field ended the message's text early,
// leaving the user "'F" alone.
TEST(BadZNInput, AZeroInsideADecimalFieldEndsTheTextItsMessageShows) {
    Bytes payload = SmallPayload();
    payload[3] = 0;  // "ZNF\0L": now a legacy file whose version field is "F\0L"
    EXPECT_EQ(ConvertMessage(payload), "'F' is not a valid floating point value");

    const Bytes legacy = ZNBuilder().legacyHeader("2.5", std::string("3\0" "8", 3), "4", "1", "t")
        .bytes(FrameIconBytes(1)).payload();
    EXPECT_EQ(ConvertMessage(legacy), "'3' is not a valid integer value");
}

// --- Streams that inflate past the cap ----------------------------------------

// Zeros deflated: about a thousandfold smaller than what they inflate to.
Bytes DeflatedZeros(size_t count) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 9, Z_RLE);
    const Bytes zeros(size_t(1) << 20, 0);
    Bytes out;
    uint8_t chunk[65536];
    for (size_t left = count; ;) {
        const size_t n = std::min(left, zeros.size());
        left -= n;
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = uInt(n);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = chunk;
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
        if (left == 0) break;
    }
    deflateEnd(&stream);
    return out;
}

TEST(InflateBomb, StopsAtThePayloadCapWithinBoundedMemory) {
    const Bytes bomb = DeflatedZeros(size_t(256) << 20);
    ASSERT_LT(bomb.size(), size_t(400) << 10);
    AllocationWatch watch;
    try {
        OpenZN(bomb);
        FAIL() << "a stream four times the cap opened";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), messages::kStreamRead);
    }
    // No single buffer beyond the cap, and never much more than the capped
    // payload and the buffer it grows into held at once.
    EXPECT_LE(watch.largest(), kMaxZNPayload);
    EXPECT_LE(watch.peak(), 2 * kMaxZNPayload);
}

}  // namespace
