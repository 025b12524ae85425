#include "formats/GifImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "formats/Errors.h"
#include "formats/GifLzwDecoder.h"
#include "formats/OnExit.h"
#include "formats/ReadBudget.h"

namespace {

// What each step costs in budget units, on the worst input for it
// (bench/cost/gif_cost.cpp; docs/reliability.md, "The GIF paths").
// A record's introducer, and an extension's label: a call into giflib and
// a read through our callback each.
constexpr uint64_t kRecordUnits = 2;
// A sub-block read through giflib: its length, then its bytes.
constexpr uint64_t kSubBlockUnits = 5;
constexpr uint64_t kBytesPerUnit = 16;
// A frame's set-up: giflib reads a colour table of up to 256 entries one
// entry a call and clears a 4096-entry table; we build the palette.
constexpr uint64_t kFrameUnits = 768;
// Each target row drawn, saved, restored or cleared, and its pixels.
constexpr uint64_t kRowUnits = 4;
constexpr uint64_t kPixelsPerUnit = 2;

constexpr Rgba kClear{0, 0, 0, 0};
using Palette = std::array<Rgba, 256>;

struct MemorySource {
    std::span<const uint8_t> bytes;
    size_t at = 0;
    bool exhausted() const { return at == bytes.size(); }
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const size_t n = std::min(size_t(std::max(length, 0)), source->bytes.size() - source->at);
    std::memcpy(out, source->bytes.data() + source->at, n);
    source->at += n;
    return int(n);
}

[[noreturn]] void Fail(const std::string& reason) { throw EReadError(reason); }

// Where in the file: "in frame 3", "after frame 2", "before its first frame".
std::string InFrame(int frame) { return "in frame " + std::to_string(frame); }
std::string AfterFrames(int count) { return count > 0 ? "after frame " + std::to_string(count) : "before its first frame"; }

[[noreturn]] void FailDecoding(int error, const std::string& where) {
    if (error == D_GIF_ERR_READ_FAILED) Fail("the GIF ends early, " + where);
    const char* text = GifErrorString(error);
    Fail("damaged GIF, " + where + ": " + (text ? text : "unknown error"));
}

// Entries the table lacks are opaque black, so any index draws something.
Palette PaletteOf(const ColorMapObject& map) {
    Palette palette;
    palette.fill({0, 0, 0, 255});
    const int count = std::clamp(map.ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) palette[size_t(i)] = {map.Colors[i].Red, map.Colors[i].Green, map.Colors[i].Blue, 255};
    return palette;
}

// What the graphics control extension before an image says of it.
struct FrameControl {
    int delay = 0;
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparent = NO_TRANSPARENT_COLOR;
};

// A frame's area clipped to the screen, [x0, x1) × [y0, y1), or the target
// pixels that take their pixel from it.
struct Area {
    int x0, y0, x1, y1;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    uint64_t pixels() const { return empty() ? 0 : uint64_t(x1 - x0) * uint64_t(y1 - y0); }
};

// For each screen position s (0 to size), the first target index that
// takes a position at or after s: target indices [first[a], first[b]) take
// screen positions [a, b). sourceOf never decreases.
template <typename SourceOf>
std::vector<int> FirstTargets(int size, int targets, SourceOf sourceOf) {
    std::vector<int> first(size_t(size) + 1, targets);
    for (int t = targets - 1; t >= 0; --t) first[size_t(sourceOf(t))] = t;
    for (int s = size - 1; s >= 0; --s) first[size_t(s)] = std::min(first[size_t(s)], first[size_t(s) + 1]);
    return first;
}

class Composer {
public:
    Composer(GifFileType* gif, MemorySource& source, ImageTarget& target, ReadBudget& budget, const GifFrameSink& sink)
        : m_gif(gif), m_source(source), m_target(target), m_budget(budget), m_sink(sink) {}

    GifSummary run() {
        const int width = m_gif->SWidth, height = m_gif->SHeight;
        if (width <= 0 || height <= 0) Fail("the GIF's logical screen has no pixels");
        if (width > kMaxGifScreenSide || height > kMaxGifScreenSide)
            Fail("the GIF's logical screen is " + std::to_string(width) + "×" + std::to_string(height) +
                 " pixels; at most " + std::to_string(kMaxGifScreenSide) + "×" +
                 std::to_string(kMaxGifScreenSide) + " are read");
        m_budget.charge(uint64_t(width + height) / kPixelsPerUnit, "a GIF's logical screen");
        m_target.begin(width, height, m_budget);
        const Area all{0, 0, m_target.width(), m_target.height()};
        chargeRows(all, "a GIF's logical screen");
        // The screen starts transparent: what no frame draws stays so.
        std::fill_n(m_target.row(0), all.pixels(), kClear);
        m_firstColumn = FirstTargets(width, all.x1, [this](int x) { return m_target.sourceX(x); });
        m_firstRow = FirstTargets(height, all.y1, [this](int y) { return m_target.sourceY(y); });
        for (int x = 0; x < all.x1; ++x) m_sourceColumn.push_back(m_target.sourceX(x));
        if (m_gif->SColorMap) m_global = PaletteOf(*m_gif->SColorMap);

        for (;;) {
            m_budget.charge(kRecordUnits, "walking a GIF's records");
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(m_gif, &type) == GIF_ERROR) {
                // A file that stops where a record would start, after
                // whole frames, only lacks its trailer: viewers show it.
                if (m_gif->Error == D_GIF_ERR_READ_FAILED && m_source.exhausted() && m_summary.frameCount > 0) break;
                FailDecoding(m_gif->Error, AfterFrames(m_summary.frameCount));
            }
            if (type == TERMINATE_RECORD_TYPE) break;
            if (type == EXTENSION_RECORD_TYPE) readExtension();
            if (type == IMAGE_DESC_RECORD_TYPE) readFrame();
        }
        if (m_summary.frameCount == 0) Fail("the GIF holds no frames");
        return m_summary;
    }

private:
    // Charged once read, as giflib reads a sub-block before it says how long it was.
    void chargeBlock(const GifByteType* block) {
        m_budget.charge(kSubBlockUnits + (block ? block[0] : 0) / kBytesPerUnit, "reading a GIF's sub-blocks");
    }

    void readExtension() {
        m_budget.charge(kRecordUnits, "walking a GIF's records");
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR) FailDecoding(m_gif->Error, AfterFrames(m_summary.frameCount));
        chargeBlock(block);
        if (code == GRAPHICS_EXT_FUNC_CODE && block) {
            GraphicsControlBlock control{};
            // A malformed control block is ignored, as viewers do.
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                m_control = {control.DelayTime, control.DisposalMode, control.TransparentColor};
        }
        const bool comment = code == COMMENT_EXT_FUNC_CODE;
        if (comment && !m_summary.comments.empty()) appendComment("\r\n", 2);
        while (block) {
            if (comment) appendComment(reinterpret_cast<const char*>(block + 1), block[0]);
            if (DGifGetExtensionNext(m_gif, &block) == GIF_ERROR) FailDecoding(m_gif->Error, AfterFrames(m_summary.frameCount));
            chargeBlock(block);
        }
    }

    // Stops looking once full, so a comment of any length costs only its reading.
    void appendComment(const char* text, size_t length) {
        std::string& comments = m_summary.comments;
        for (size_t i = 0; i < length && comments.size() < kMaxGifCommentBytes; ++i)
            if (text[i] != '\0') comments += text[i];
    }

    void readFrame() {
        const int frame = m_summary.frameCount + 1;
        if (frame > kMaxGifFrames) Fail("the GIF has more than " + std::to_string(kMaxGifFrames) + " frames");
        m_budget.charge(kFrameUnits, "a GIF frame's header");
        if (DGifGetImageHeader(m_gif) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
        const GifImageDesc& image = m_gif->Image;
        const FrameControl control = m_control;
        m_control = {};
        if (!image.ColorMap && !m_gif->SColorMap) Fail("frame " + std::to_string(frame) + " of the GIF has no colour table");
        const Palette local = image.ColorMap ? PaletteOf(*image.ColorMap) : Palette{};
        const Palette& palette = image.ColorMap ? local : m_global;

        const int width = m_gif->SWidth, height = m_gif->SHeight;
        const Area area{std::min(image.Left, width), std::min(image.Top, height), std::min(image.Left + image.Width, width),
                        std::min(image.Top + image.Height, height)};
        const Area cells = targetOf(area);
        if (control.disposal == DISPOSE_PREVIOUS) save(cells);
        decode(frame, cells, palette, control.transparent);
        ++m_summary.frameCount;
        m_sink(m_target.image(), control.delay);

        if (control.disposal == DISPOSE_BACKGROUND) clear(cells);
        if (control.disposal == DISPOSE_PREVIOUS) restore(cells);
    }

    Area targetOf(Area area) const {
        return {m_firstColumn[size_t(area.x0)], m_firstRow[size_t(area.y0)], m_firstColumn[size_t(area.x1)],
                m_firstRow[size_t(area.y1)]};
    }

    GifByteType* nextDataBlock(int frame) {
        GifByteType* block = nullptr;
        if (DGifGetCodeNext(m_gif, &block) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
        chargeBlock(block);
        return block;
    }

    void decode(int frame, Area cells, const Palette& palette, int transparent) {
        const GifImageDesc& image = m_gif->Image;
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(m_gif, &codeSize, &block) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
        chargeBlock(block);
        if (image.Width == 0 || image.Height == 0) {
            // No pixels to decode, but the data blocks still stand in the way.
            while (block) block = nextDataBlock(frame);
            return;
        }
        // giflib hands the data sub-blocks over as they are; the codes in
        // them are ours to decode.
        bool first = true;
        GifLzwDecoder lzw(codeSize, m_budget, [&]() -> std::span<const uint8_t> {
            if (!first) block = nextDataBlock(frame);
            first = false;
            return block ? std::span<const uint8_t>(block + 1, block[0]) : std::span<const uint8_t>();
        });
        m_line.resize(size_t(image.Width));
        const int screenHeight = m_gif->SHeight;
        auto row = [&](int y) {
            // The messages giflib gives for the same faults.
            switch (lzw.decode(m_line)) {
            case GifLzwDecoder::Result::Done: break;
            case GifLzwDecoder::Result::EndCode: FailDecoding(D_GIF_ERR_EOF_TOO_SOON, InFrame(frame));
            case GifLzwDecoder::Result::DataEnds:
            case GifLzwDecoder::Result::BadCode: FailDecoding(D_GIF_ERR_IMAGE_DEFECT, InFrame(frame));
            }
            y += image.Top;
            if (y >= screenHeight) return;
            // The target rows that show this screen row, if any.
            const Area drawn{cells.x0, m_firstRow[size_t(y)], cells.x1, m_firstRow[size_t(y) + 1]};
            if (drawn.empty()) return;
            chargeRows(drawn, "drawing a GIF frame");
            for (int ty = drawn.y0; ty < drawn.y1; ++ty) {
                Rgba* out = m_target.row(ty);
                for (int tx = drawn.x0; tx < drawn.x1; ++tx) {
                    const GifPixelType index = m_line[size_t(m_sourceColumn[size_t(tx)] - image.Left)];
                    if (index != transparent) out[tx] = palette[index];
                }
            }
        };
        if (image.Interlace) {
            // Four passes: every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
            constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < image.Height; y += kStep[pass]) row(y);
        } else {
            for (int y = 0; y < image.Height; ++y) row(y);
        }
        lzw.skipRest();
    }

    void chargeRows(Area cells, const char* what) {
        if (cells.empty()) return;
        m_budget.charge(uint64_t(cells.y1 - cells.y0) * kRowUnits + cells.pixels() / kPixelsPerUnit, what);
    }

    template <typename Visit>
    void forEachRow(Area cells, Visit visit) {
        if (cells.empty()) return;
        for (int y = cells.y0; y < cells.y1; ++y) visit(m_target.row(y) + cells.x0, size_t(cells.x1 - cells.x0));
    }

    // The saved copy is the only memory a frame can make grow, so it is held
    // at its largest.
    void save(Area cells) {
        chargeRows(cells, "saving what a GIF frame covers");
        const size_t pixels = cells.pixels();
        if (pixels > m_previous.capacity()) {
            m_previous = {};
            m_previousHeld = {};
            m_previousHeld = m_budget.hold(pixels * sizeof(Rgba), "what a GIF frame covers");
            m_previous.reserve(pixels);
        }
        m_previous.clear();
        forEachRow(cells, [&](const Rgba* row, size_t n) { m_previous.insert(m_previous.end(), row, row + n); });
    }
    void restore(Area cells) {
        chargeRows(cells, "restoring what a GIF frame covered");
        const Rgba* from = m_previous.data();
        forEachRow(cells, [&](Rgba* row, size_t n) {
            std::copy_n(from, n, row);
            from += n;
        });
    }
    // Restore to background: browsers clear the area to transparent rather
    // than painting the background colour, and so do we.
    void clear(Area cells) {
        chargeRows(cells, "clearing a GIF frame's area");
        forEachRow(cells, [](Rgba* row, size_t n) { std::fill_n(row, n, kClear); });
    }

    GifFileType* m_gif;
    MemorySource& m_source;
    ImageTarget& m_target;
    ReadBudget& m_budget;
    const GifFrameSink& m_sink;
    std::vector<int> m_firstColumn, m_firstRow, m_sourceColumn;
    UninitialisedVector<Rgba> m_previous;  // the target pixels under a frame to be restored
    ReadBudget::Held m_previousHeld;
    std::vector<GifPixelType> m_line;
    Palette m_global{};
    FrameControl m_control;
    GifSummary m_summary;
};

}  // namespace

// A byte of LZW data spells up to 2731 indices, each drawn, saved and
// restored as a row of its own at worst (a frame one pixel wide); a frame
// takes 12 bytes at least (and draws, saves and restores up to 16 rows of
// a 16×16 target however small the screen), a record 3, a sub-block 2.
const uint64_t kGifUnitsPerByte =
    GifLzwDecoder::kUnitsPerByte + 2731 * 3 * (kRowUnits + 1) +
    (kFrameUnits + 3 * (16 * kRowUnits + 256 / kPixelsPerUnit) + 2 * kRecordUnits + 2 * kSubBlockUnits) / 12 +
    (2 * kRecordUnits + kSubBlockUnits) / 3 + kSubBlockUnits / 2 + 1;
// The largest screen set up, and saved for a frame whose data ends before
// it is drawn, after a row of up to 65535 indices was charged.
const uint64_t kGifUnitsOnce =
    2 * uint64_t(kMaxGifScreenSide) * (kMaxGifScreenSide / kPixelsPerUnit + kRowUnits + 1) + 65535;

GifSummary ComposeGif(std::span<const uint8_t> bytes, ImageTarget& target, ReadBudget& budget,
                      const GifFrameSink& onFrame) {
    MemorySource source{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, ReadFromMemory, &error);
    if (!gif) {
        if (error == D_GIF_ERR_NO_SCRN_DSCR) Fail("the GIF ends early, in its header");
        Fail("not a GIF file");
    }
    const OnExit close([gif] { DGifCloseFile(gif, nullptr); });
    return Composer(gif, source, target, budget, onFrame).run();
}
