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

constexpr Rgba kClear{0, 0, 0, 0};
// What giflib spends on a frame's header before any pixel: its colour
// table, and its 4096-entry code table cleared.
constexpr uint64_t kFrameHeaderUnits = 4096;
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

// A frame's area clipped to the screen: [x0, x1) × [y0, y1).
struct Area {
    int x0, y0, x1, y1;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    uint64_t pixels() const { return empty() ? 0 : uint64_t(x1 - x0) * uint64_t(y1 - y0); }
};

class Composer {
public:
    Composer(GifFileType* gif, MemorySource& source, ReadBudget& budget, const GifFrameSink& sink)
        : m_gif(gif), m_source(source), m_budget(budget), m_sink(sink) {}

    GifSummary run() {
        const int width = m_gif->SWidth, height = m_gif->SHeight;
        if (width <= 0 || height <= 0) Fail("the GIF's logical screen has no pixels");
        if (width > kMaxGifScreenSide || height > kMaxGifScreenSide)
            Fail("the GIF's logical screen is " + std::to_string(width) + "×" + std::to_string(height) +
                 " pixels; at most " + std::to_string(kMaxGifScreenSide) + "×" +
                 std::to_string(kMaxGifScreenSide) + " are read");
        m_budget.chargePixels(uint64_t(width) * uint64_t(height), "a GIF's logical screen");
        m_screen = IconImage{width, height, UninitialisedVector<Rgba>(size_t(width) * size_t(height), kClear)};
        if (m_gif->SColorMap) m_global = PaletteOf(*m_gif->SColorMap);

        for (;;) {
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
    void readExtension() {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR) FailDecoding(m_gif->Error, AfterFrames(m_summary.frameCount));
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
        }
    }

    void appendComment(const char* text, size_t length) {
        std::string& comments = m_summary.comments;
        for (size_t i = 0; i < length && comments.size() < kMaxGifCommentBytes; ++i)
            if (text[i] != '\0') comments += text[i];
    }

    void readFrame() {
        const int frame = m_summary.frameCount + 1;
        if (frame > kMaxGifFrames) Fail("the GIF has more than " + std::to_string(kMaxGifFrames) + " frames");
        if (DGifGetImageHeader(m_gif) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
        const GifImageDesc& image = m_gif->Image;
        const FrameControl control = m_control;
        m_control = {};

        // Counted before any pixel is decoded, so the work a file can ask
        // for is bounded too.
        m_composed += m_screen.pixels.size();
        m_decoded += uint64_t(image.Width) * uint64_t(image.Height);
        if (m_composed > kMaxGifPixels || m_decoded > kMaxGifPixels)
            Fail("the GIF's frames come to more than " + std::to_string(kMaxGifPixels >> 20) + " M pixels");
        m_budget.charge(kFrameHeaderUnits, "a GIF frame's header");
        if (!image.ColorMap && !m_gif->SColorMap) Fail("frame " + std::to_string(frame) + " of the GIF has no colour table");
        const Palette local = image.ColorMap ? PaletteOf(*image.ColorMap) : Palette{};
        const Palette& palette = image.ColorMap ? local : m_global;

        const Area area{std::min(image.Left, m_screen.width), std::min(image.Top, m_screen.height),
                        std::min(image.Left + image.Width, m_screen.width),
                        std::min(image.Top + image.Height, m_screen.height)};
        if (control.disposal == DISPOSE_PREVIOUS) save(area);
        decode(frame, area, palette, control.transparent);
        ++m_summary.frameCount;
        m_sink(m_screen, control.delay);

        if (control.disposal == DISPOSE_BACKGROUND) clear(area);
        if (control.disposal == DISPOSE_PREVIOUS) restore(area);
    }

    void decode(int frame, Area area, const Palette& palette, int transparent) {
        const GifImageDesc& image = m_gif->Image;
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(m_gif, &codeSize, &block) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
        if (image.Width == 0 || image.Height == 0) {
            // No pixels to decode, but the data blocks still stand in the way.
            while (block)
                if (DGifGetCodeNext(m_gif, &block) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
            return;
        }
        // giflib hands the data sub-blocks over as they are; the codes in
        // them are ours to decode.
        bool first = true;
        GifLzwDecoder lzw(codeSize, m_budget, [&]() -> std::span<const uint8_t> {
            if (!first && DGifGetCodeNext(m_gif, &block) == GIF_ERROR) FailDecoding(m_gif->Error, InFrame(frame));
            first = false;
            return block ? std::span<const uint8_t>(block + 1, block[0]) : std::span<const uint8_t>();
        });
        m_line.resize(size_t(image.Width));
        auto row = [&](int y) {
            // The messages giflib gives for the same faults.
            switch (lzw.decode(m_line)) {
            case GifLzwDecoder::Result::Done: break;
            case GifLzwDecoder::Result::EndCode: FailDecoding(D_GIF_ERR_EOF_TOO_SOON, InFrame(frame));
            case GifLzwDecoder::Result::DataEnds:
            case GifLzwDecoder::Result::BadCode: FailDecoding(D_GIF_ERR_IMAGE_DEFECT, InFrame(frame));
            }
            y += image.Top;
            if (y >= area.y1 || area.empty()) return;
            m_budget.chargePixels(uint64_t(area.x1 - area.x0), "drawing a GIF frame");
            Rgba* out = m_screen.pixels.data() + size_t(y) * size_t(m_screen.width);
            const GifPixelType* in = m_line.data();
            for (int x = area.x0; x < area.x1; ++x) {
                const GifPixelType index = in[x - image.Left];
                if (index != transparent) out[x] = palette[index];
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

    template <typename Visit>
    void forEachRow(Area area, Visit visit) {
        if (area.empty()) return;
        for (int y = area.y0; y < area.y1; ++y)
            visit(m_screen.pixels.begin() + ptrdiff_t(y) * m_screen.width + area.x0, size_t(area.x1 - area.x0));
    }

    void save(Area area) {
        m_budget.chargePixels(area.pixels(), "saving what a GIF frame covers");
        m_previous.clear();
        if (!area.empty()) m_previous.reserve(size_t(area.x1 - area.x0) * size_t(area.y1 - area.y0));
        forEachRow(area, [&](auto row, size_t n) { m_previous.insert(m_previous.end(), row, row + ptrdiff_t(n)); });
    }
    void restore(Area area) {
        m_budget.chargePixels(area.pixels(), "restoring what a GIF frame covered");
        auto from = m_previous.begin();
        forEachRow(area, [&](auto row, size_t n) {
            std::copy(from, from + ptrdiff_t(n), row);
            from += ptrdiff_t(n);
        });
    }
    // Restore to background: browsers clear the area to transparent rather
    // than painting the background colour, and so do we.
    void clear(Area area) {
        m_budget.chargePixels(area.pixels(), "clearing a GIF frame's area");
        forEachRow(area, [](auto row, size_t n) { std::fill(row, row + ptrdiff_t(n), kClear); });
    }

    GifFileType* m_gif;
    MemorySource& m_source;
    ReadBudget& m_budget;
    const GifFrameSink& m_sink;
    IconImage m_screen;
    std::vector<Rgba> m_previous;  // the area under a frame to be restored
    std::vector<GifPixelType> m_line;
    Palette m_global{};
    FrameControl m_control;
    GifSummary m_summary;
    uint64_t m_composed = 0, m_decoded = 0;
};

}  // namespace

GifSummary ComposeGif(std::span<const uint8_t> bytes, ReadBudget& budget, const GifFrameSink& onFrame) {
    budget.charge(bytes.size(), "reading a GIF");
    MemorySource source{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, ReadFromMemory, &error);
    if (!gif) {
        if (error == D_GIF_ERR_NO_SCRN_DSCR) Fail("the GIF ends early, in its header");
        Fail("not a GIF file");
    }
    const OnExit close([gif] { DGifCloseFile(gif, nullptr); });
    return Composer(gif, source, budget, onFrame).run();
}
