#include "formats/PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "formats/Errors.h"

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkHeaderSize = 8;  // length, then type
constexpr size_t kChunkCrcSize = 4;
constexpr uint32_t kImageDataType = 0x49444154;  // "IDAT"
constexpr uint32_t kProfileType = 0x69434350;    // "iCCP"
constexpr png_byte kProfileChunk[] = "iCCP";
// Image data goes to libpng in pieces this long, so that reading stops soon
// after the last row it needs.
constexpr size_t kImageDataPiece = 4096;
// Handing libpng a piece costs about what handling this many bytes does, so
// a file of empty chunks pays for its pieces.
constexpr uint64_t kPieceUnits = 64;
// The chunks libpng's simplified reader keeps besides the critical ones and
// tRNS, as they shape its pixels (the colour space sets the gamma, sBIT the
// 16-bit gamma tables); every other chunk is skipped unread.
constexpr png_byte kChunksThatShapePixels[] = "bKGD\0cHRM\0gAMA\0iCCP\0sBIT\0sRGB";
// libpng's own limit on one chunk: lower, and files that read today would not.
constexpr png_alloc_size_t kMaxChunkBytes = PNG_USER_CHUNK_MALLOC_MAX;
// libpng's own limit on a picture's sides, for PngImageSize.
constexpr uint32_t kMaxSide = PNG_USER_WIDTH_MAX;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// What libpng's callbacks share with the decoder. Callbacks run inside libpng,
// so they never throw: they record and, to stop, call png_error, which jumps
// back to Feed.
struct PngRead {
    std::jmp_buf jump;
    char message[160] = {};
    const ReadBudget* budget = nullptr;
    uint64_t largestAllocation = 0;
    uint64_t pending = 0;  // spent inside libpng, charged after each piece
    bool overBudget = false;

    bool haveInfo = false;
    uint32_t width = 0;
    uint32_t height = 0;
    bool interlaced = false;

    Rgba* whole = nullptr;   // the whole image, each row combined in place
    Rgba* sample = nullptr;  // or the 16×16 sample
    int columns[kFrameSize] = {};
    uint32_t lastSampledRow = 0;
    bool sampled = false;

    bool spend(uint64_t units) {
        if (units > budget->left() - pending) {
            overBudget = true;
            return false;
        }
        pending += units;
        return true;
    }
};

PngRead& ReadOf(png_structp png) { return *static_cast<PngRead*>(png_get_progressive_ptr(png)); }

void OnError(png_structp png, png_const_charp message) {
    auto& read = *static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(read.message, sizeof read.message, "%s", message);
    std::longjmp(read.jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng clears or fills most of what it asks for, so allocations are
// charged. Beside its rows (at most 16 bytes a pixel) it needs nothing near a
// megabyte; more is an ICC profile announced larger than any real one, which
// libpng drops as one it cannot hold.
uint64_t LargestAllocation(PngLimits limits) { return (uint64_t(1) << 20) + 16 * uint64_t(limits.maxWidth); }

png_voidp Allocate(png_structp png, png_alloc_size_t size) {
    auto& read = *static_cast<PngRead*>(png_get_mem_ptr(png));
    return size <= read.largestAllocation && read.spend(size) ? std::malloc(size) : nullptr;
}

void Release(png_structp, png_voidp block) { std::free(block); }

// The transformations libpng's simplified reader makes for 8-bit RGBA output,
// in its order: expanded, grey made colour, 16-bit input taken as linear
// light unless the file says otherwise and scaled to 8 bits, opaque alpha
// added, output sRGB-encoded.
void OnInfo(png_structp png, png_infop info) {
    PngRead& read = ReadOf(png);
    const png_byte colourType = png_get_color_type(png, info);
    const bool sixteenBits = png_get_bit_depth(png, info) == 16;
    png_set_expand(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, sixteenBits ? PNG_GAMMA_LINEAR : PNG_DEFAULT_sRGB);
    if (sixteenBits) png_set_scale_16(png);
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 255, PNG_FILLER_AFTER);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    // An interlaced picture's rows come pass by pass, each holding only its
    // pass's pixels, which OnRow puts in place.
    read.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_read_update_info(png, info);
    read.width = png_get_image_width(png, info);
    read.height = png_get_image_height(png, info);
    read.haveInfo = true;
}

// Where the pixels of each interlaced pass lie: first column and row, then steps.
constexpr uint32_t kPassStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
constexpr uint32_t kPassStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};

void OnRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    PngRead& read = ReadOf(png);
    if (row == nullptr || (!read.whole && !read.sample)) return;
    if (!read.spend(ReadBudget::kPixel * read.width)) png_error(png, "over budget");
    if (read.interlaced) {  // row y of the pass: every step-th pixel of one image row
        const uint32_t dx = kPassStep[pass][0], x0 = kPassStart[pass][0];
        Rgba* out = read.whole + size_t(kPassStart[pass][1] + y * kPassStep[pass][1]) * read.width;
        for (uint32_t x = x0, i = 0; x < read.width; x += dx, ++i) std::memcpy(out + x, row + 4 * size_t(i), sizeof(Rgba));
        return;
    }
    if (read.whole) {
        std::memcpy(read.whole + size_t(y) * read.width, row, size_t(read.width) * sizeof(Rgba));
        return;
    }
    for (int ty = 0; ty < kFrameSize; ++ty) {
        if (FrameSourceIndex(ty, read.height) != int64_t(y)) continue;
        for (int tx = 0; tx < kFrameSize; ++tx)
            std::memcpy(&read.sample[ty * kFrameSize + tx], row + 4 * size_t(read.columns[tx]), sizeof(Rgba));
    }
    if (y == read.lastSampledRow) read.sampled = true;
}

// What the reader is to skip and to refuse, set before the first piece.
void Configure(png_structp png, PngRead& read, PngLimits limits) {
    png_set_benign_errors(png, 1);  // as the simplified reader: libpng's minor complaints are warnings
    png_set_user_limits(png, limits.maxWidth, limits.maxHeight);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, 1);  // keeps none, should a chunk reach a handler that keeps
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kChunksThatShapePixels,
                                int(sizeof kChunksThatShapePixels / 5));
    png_set_progressive_read_fn(png, &read, OnInfo, OnRow, nullptr);
}

// What to change before a piece.
struct Settings {
    const PngLimits* configure = nullptr;  // before the first
    bool skipProfiles = false;             // once one ICC profile has been read
};

// Hands libpng one piece; false when libpng failed. libpng reports failure by
// jumping back here, so nothing in this frame has a destructor.
bool Feed(png_structp png, png_infop info, PngRead& read, Settings settings, const uint8_t* piece, size_t length) {
    if (setjmp(read.jump)) return false;
    if (settings.configure) Configure(png, read, *settings.configure);
    // A picture has one profile; libpng would inflate every later one too.
    if (settings.skipProfiles) png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kProfileChunk, 1);
    png_process_data(png, info, const_cast<png_bytep>(piece), length);
    return true;
}

class PngDecoder {
public:
    PngDecoder(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget)
        : m_bytes(bytes), m_limits(limits), m_budget(budget) {
        if (!IsPng(bytes)) fail("not a PNG file");
        m_read.budget = &budget;
        m_read.largestAllocation = LargestAllocation(limits);
        m_png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &m_read, OnError, OnWarning, &m_read, Allocate,
                                         Release);
        m_info = m_png ? png_create_info_struct(m_png) : nullptr;
        if (!m_info) {
            png_destroy_read_struct(&m_png, nullptr, nullptr);
            settle(false);
        }
    }
    ~PngDecoder() { png_destroy_read_struct(&m_png, &m_info, nullptr); }
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;

    PngSize readHeader() {
        feed([&] { return m_read.haveInfo; });
        if (m_limits.exact && (m_read.width != m_limits.maxWidth || m_read.height != m_limits.maxHeight))
            fail("the PNG's size is not its directory entry's");
        return {m_read.width, m_read.height};
    }

    IconImage decode() {
        const PngSize size = readHeader();
        m_budget.chargePixels(uint64_t(size.width) * size.height, "decoding a PNG picture");
        IconImage image{int(size.width), int(size.height), {}};
        image.pixels.resize(size_t(size.width) * size.height);  // every row is combined in below
        m_read.whole = image.pixels.data();
        // Up to the end of the chunk that completes the rows, so its checksum is checked.
        feed([&] { return rowsComplete() && m_at == m_chunkEnd; });
        return image;
    }

    IconImage sample() {
        const PngSize size = readHeader();
        if (m_read.interlaced) return ScaleToFrame(decode());
        m_budget.chargePixels(uint64_t(kFrameSize) * kFrameSize, "sampling a PNG picture");
        IconImage image{kFrameSize, kFrameSize, {}};
        image.pixels.resize(size_t(kFrameSize) * kFrameSize);
        for (int x = 0; x < kFrameSize; ++x) m_read.columns[x] = FrameSourceIndex(x, size.width);
        m_read.lastSampledRow = uint32_t(FrameSourceIndex(kFrameSize - 1, size.height));
        m_read.sample = image.pixels.data();
        feed([&] { return m_read.sampled; });
        return image;
    }

private:
    [[noreturn]] static void fail(const std::string& cause) { throw EInvalidGraphic(messages::kInvalidIcon, cause); }

    // Charges what libpng spent during the last piece, then reports its failure.
    void settle(bool ok) {
        m_budget.charge(std::exchange(m_read.pending, 0), "decoding a PNG picture");
        if (m_read.overBudget) m_budget.charge(UINT64_MAX, "decoding a PNG picture");
        if (!ok) fail(m_read.message[0] ? std::string("PNG: ") + m_read.message : "PNG: out of memory");
    }

    bool rowsComplete() const {
        return m_read.interlaced ? png_get_current_pass_number(m_png) >= 7
                                 : png_get_current_row_number(m_png) >= m_read.height;
    }

    // The next piece: the signature, a whole chunk, or an image data chunk's
    // header and then its data and checksum in pieces.
    size_t nextPiece() {
        const size_t left = m_bytes.size() - m_at;
        if (m_at == 0) {
            m_chunkEnd = sizeof kSignature;
            return sizeof kSignature;
        }
        if (m_at < m_chunkEnd) return size_t(std::min<uint64_t>({m_chunkEnd - m_at, left, kImageDataPiece}));
        if (left < kChunkHeaderSize) return left;  // a header cut short: libpng waits for the rest
        const uint64_t length = BigEndian32(&m_bytes[m_at]);
        m_chunkEnd = m_at + kChunkHeaderSize + length + kChunkCrcSize;
        const uint32_t type = BigEndian32(&m_bytes[m_at + 4]);
        if (type == kImageDataType) return kChunkHeaderSize;
        m_pieceIsProfile = type == kProfileType;
        return size_t(std::min<uint64_t>(m_chunkEnd - m_at, left));
    }

    template <typename Done>
    void feed(Done done) {
        while (!done()) {
            if (m_at == m_bytes.size()) fail("the PNG ends early");
            const size_t piece = nextPiece();
            m_budget.charge(kPieceUnits + piece, "reading a PNG picture");
            const Settings settings{m_at == 0 ? &m_limits : nullptr, std::exchange(m_skipProfiles, false)};
            const bool ok = Feed(m_png, m_info, m_read, settings, m_bytes.data() + m_at, piece);
            if (std::exchange(m_pieceIsProfile, false)) m_skipProfiles = true;
            m_at += piece;
            settle(ok);
        }
    }

    std::span<const uint8_t> m_bytes;
    PngLimits m_limits;
    ReadBudget& m_budget;
    PngRead m_read;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    size_t m_at = 0;
    uint64_t m_chunkEnd = 0;
    bool m_pieceIsProfile = false;  // the piece being handed over is an ICC profile
    bool m_skipProfiles = false;    // one has been: later ones are to be skipped
};

}  // namespace

bool IsPng(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes) {
    try {
        ReadBudget budget;
        return PngDecoder(bytes, {kMaxSide, kMaxSide}, budget).readHeader();
    } catch (const EZintraError&) {
        return std::nullopt;
    }
}

IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget) {
    static_assert(sizeof(Rgba) == 4, "rows are decoded straight into the pixels");
    return PngDecoder(bytes, limits, budget).decode();
}

IconImage SamplePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget) {
    return PngDecoder(bytes, limits, budget).sample();
}
