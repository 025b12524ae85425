#include "formats/PngImage.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/Errors.h"
#include "formats/Inflater.h"
#include "formats/PngRows.h"

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkHeaderSize = 8;  // length, then type
constexpr size_t kChunkCrcSize = 4;
constexpr size_t kHeaderDataSize = 13;            // of an IHDR chunk
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;  // lengths are 31-bit
constexpr uint32_t kHeaderType = 0x49484452;      // "IHDR"
constexpr uint32_t kImageDataType = 0x49444154;   // "IDAT"
constexpr uint32_t kProfileType = 0x69434350;     // "iCCP"
constexpr png_byte kProfileChunk[] = "iCCP";
// The chunks libpng's simplified reader keeps besides the critical ones and
// tRNS, as they shape its pixels (the colour space sets the gamma, sBIT the
// 16-bit gamma tables); every other chunk is skipped unread.
constexpr png_byte kChunksThatShapePixels[] = "bKGD\0cHRM\0gAMA\0iCCP\0sBIT\0sRGB";
// libpng's own limit on one chunk: lower, and files that read today would not.
constexpr png_alloc_size_t kMaxChunkBytes = PNG_USER_CHUNK_MALLOC_MAX;
// libpng's own limit on a picture's sides, for PngImageSize.
constexpr uint32_t kMaxSide = PNG_USER_WIDTH_MAX;

// The rows go to libpng unfiltered, as a zlib stream of stored blocks: its
// header, then blocks of at most kMostStored bytes, a chunk at a time.
// Deflate with the smallest window (stored blocks refer to nothing), no dictionary.
constexpr uint8_t kStoredStreamHeader[] = {0x08, 0x1D};
constexpr size_t kStoredBlockHeader = 5;                 // type, then length and its complement
constexpr size_t kMostStored = 65535;
// Rows are inflated this much at a time.
constexpr size_t kInflatedStep = size_t(64) << 10;

// Prices, in 64ths of a unit (bench/cost/png_cost.cpp measures each on
// the input that makes it slowest):
// making and ending libpng's reader: a 1×1 picture;
constexpr uint64_t kDecoderPrice = 64 * 400;
// a chunk handed over or skipped: a picture of empty private chunks;
constexpr uint64_t kChunkPrice = 64 * 40;
// a byte of a chunk libpng reads or skips (its checksum taken 1 KiB at a
// time), or of image data whose checksum is taken here;
constexpr uint64_t kChunkBytePrice = 12;
constexpr uint64_t kImageDataBytePrice = 4;
// a row unfiltered here, and a byte of it by its filter (none, sub, up 16
// bytes at a time, average; Paeth by the bytes of a pixel, as 4 and 8 are
// unfiltered a pixel at a time and 1 is a chain of dependent steps): noise,
// the slowest;
constexpr uint64_t kRowPrice = 64 * 3;
constexpr uint64_t kFilterBytePrice[4] = {0, 24, 1, 40};
constexpr uint64_t PaethBytePrice(size_t pixelBytes) {
    return pixelBytes == 4 || pixelBytes == 8 ? 20 : pixelBytes == 1 ? 96 : 52;
}
// a row libpng converts, and a byte of it (copied, and a byte of zlib's
// window); a pixel by the kind of pixels, 16-bit samples through gamma
// the slowest.
constexpr uint64_t kConvertedRowPrice = 64 * 8;
constexpr uint64_t kConvertedBytePrice = 4;
constexpr uint64_t kPixelPrice16Bit = 160;
constexpr uint64_t kPixelPriceIndexed = 48;  // palettes, and depths below 8
constexpr uint64_t kPixelPrice8Bit = 32;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutBigEndian32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

// Where the pixels of each interlaced pass lie: first column and row, then steps.
constexpr uint32_t kPassStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
constexpr uint32_t kPassStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};

uint32_t PassCount(uint32_t size, uint32_t start, uint32_t step) { return size > start ? (size - start + step - 1) / step : 0; }

// What libpng's callbacks share with the decoder. Callbacks run inside libpng,
// so they never throw: they record and, to stop, call png_error, which jumps
// back to Feed.
struct PngRead {
    std::jmp_buf jump;
    char message[160] = {};
    ReadBudget* budget = nullptr;
    uint64_t largestAllocation = 0;

    ImageTarget* target = nullptr;
    uint32_t width = 0;  // the picture's, which libpng may be told less of
    bool interlaced = false;
    // The rows libpng is given of a picture not interlaced, by the row
    // number libpng gives them; empty when it is given every row.
    std::vector<uint32_t> givenRows;
    bool lastRowCame = false;  // the last row the target takes
};

PngRead& ReadOf(png_structp png) { return *static_cast<PngRead*>(png_get_progressive_ptr(png)); }

void OnError(png_structp png, png_const_charp message) {
    auto& read = *static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(read.message, sizeof read.message, "%s", message);
    std::longjmp(read.jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Beside its rows (at most 16 bytes a pixel) libpng needs nothing near a
// megabyte; more is an ICC profile announced larger than any real one,
// which libpng drops as one it cannot hold.
uint64_t LargestAllocation(PngLimits limits) { return (uint64_t(1) << 20) + 16 * uint64_t(limits.maxWidth); }

png_voidp Allocate(png_structp png, png_alloc_size_t size) {
    auto& read = *static_cast<PngRead*>(png_get_mem_ptr(png));
    return size <= read.largestAllocation ? read.budget->allocate(size) : nullptr;
}

void Release(png_structp png, png_voidp block) { static_cast<PngRead*>(png_get_mem_ptr(png))->budget->free(block); }

// The transformations libpng's simplified reader makes for 8-bit RGBA output,
// in its order: expanded, grey made colour, 16-bit input taken as linear
// light unless the file says otherwise and scaled to 8 bits, opaque alpha
// added, output sRGB-encoded.
void OnInfo(png_structp png, png_infop info) {
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
    png_read_update_info(png, info);
}

void OnRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    PngRead& read = ReadOf(png);
    ImageTarget* target = read.target;
    if (row == nullptr || target == nullptr) return;
    const auto* pixels = reinterpret_cast<const Rgba*>(row);
    if (!read.interlaced) {
        const int sourceRow = int(read.givenRows.empty() ? y : read.givenRows[std::min<size_t>(y, read.givenRows.size() - 1)]);
        if (target->sampling())
            target->putSourceRow(sourceRow, pixels);
        else
            std::memcpy(target->row(sourceRow), pixels, size_t(read.width) * sizeof(Rgba));
        if (sourceRow == target->lastSourceRow()) read.lastRowCame = true;
        return;
    }
    // Row y of the pass: every step-th pixel of one picture row, from x0.
    const uint32_t x0 = kPassStart[pass][0], dx = kPassStep[pass][0];
    const int sourceRow = int(kPassStart[pass][1] + y * kPassStep[pass][1]);
    const uint32_t count = PassCount(read.width, x0, dx);
    if (!target->sampling()) {
        Rgba* out = target->row(sourceRow) + x0;
        for (uint32_t i = 0; i < count; ++i) out[size_t(i) * dx] = pixels[i];
        return;
    }
    for (int ty = 0; ty < target->height(); ++ty) {
        if (target->sourceY(ty) != sourceRow) continue;
        Rgba* out = target->row(ty);
        for (int tx = 0; tx < target->width(); ++tx) {
            const auto sx = uint32_t(target->sourceX(tx));
            if (sx >= x0 && (sx - x0) % dx == 0) out[tx] = pixels[(sx - x0) / dx];
        }
    }
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
    // A chunk made here (the header told fewer rows, the image data),
    // whose checksum is not to be checked: the decoder checks the file's
    // own. Only while such a chunk is handed over, as libpng checksums a
    // chunk's type under the rule of the chunk before it.
    bool madeHere = false;
};

// Hands libpng one piece; false when libpng failed. libpng reports failure by
// jumping back here, so nothing in this frame has a destructor.
bool Feed(png_structp png, png_infop info, PngRead& read, Settings settings, const uint8_t* piece, size_t length) {
    if (setjmp(read.jump)) return false;
    if (settings.configure) Configure(png, read, *settings.configure);
    // A picture has one profile; libpng would inflate every later one too.
    if (settings.skipProfiles) png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kProfileChunk, 1);
    png_set_crc_action(png, settings.madeHere ? PNG_CRC_QUIET_USE : PNG_CRC_DEFAULT, PNG_CRC_NO_CHANGE);
    // Nor has the stored stream a checksum: it is never ended.
    if (settings.madeHere) png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_process_data(png, info, const_cast<png_bytep>(piece), length);
    return true;
}

class PngDecoder {
public:
    PngDecoder(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget)
        : m_bytes(bytes), m_limits(limits), m_budget(budget) {
        if (!IsPng(bytes)) fail("not a PNG file");
        charge(kDecoderPrice);
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

    // Reads the chunks before the image data.
    PngSize readHeader() {
        hand({kSignature, sizeof kSignature});
        while (!m_inflater) nextChunk();  // up to the image data, which is handed over with the rows
        if (!m_haveHeader) fail("PNG: Missing IHDR before IDAT");
        if (m_header.width > m_limits.maxWidth || m_header.height > m_limits.maxHeight)
            fail("the PNG is larger than the limits");
        if (m_limits.exact && (m_header.width != m_limits.maxWidth || m_header.height != m_limits.maxHeight))
            fail("the PNG's size is not its directory entry's");
        return {m_header.width, m_header.height};
    }

    void decode(ImageTarget& target) {
        m_target = &target;
        readHeader();
        target.begin(int(m_header.width), int(m_header.height), m_budget);
        m_read.target = &target;
        m_read.width = m_header.width;
        m_read.interlaced = m_header.interlaced;
        // A sampled interlaced picture still needs every pass.
        m_wanted = PngDataBytes(m_header, uint32_t(target.lastSourceRow()));
        m_order.emplace(m_header);
        m_row.assign(m_order->bytes(), 0);
        m_prior.assign(m_order->bytes(), 0);
        m_inflatedRows.resize(size_t(std::min<uint64_t>(m_wanted, kInflatedStep)));
        m_stored.reserve(rowsAt() + size_t(std::min<uint64_t>(m_wanted, kMostStored)) + m_order->bytes() + kChunkCrcSize);
        while (m_inflated < m_wanted) nextChunk();
        flush();
        // Whole, the chunk that completes the rows is read to its end for
        // its checksum, as libpng would.
        const bool whole = !target.sampling();
        if (whole && m_dataLeft > 0) finishImageData();
        const bool complete = whole || m_header.interlaced ? rowsComplete() : m_read.lastRowCame;
        if (!complete) fail("libpng did not complete the rows it was given");
    }

private:
    [[noreturn]] static void fail(const std::string& cause) { throw EInvalidGraphic(messages::kInvalidIcon, cause); }

    void charge(uint64_t price) {
        m_owed += price;
        m_budget.charge(m_owed / 64, "decoding a PNG picture");
        m_owed %= 64;
    }

    // libpng's failure, after any memory it was refused.
    void settle(bool ok) {
        if (ok) return;
        m_budget.throwIfRefused("decoding a PNG picture");
        fail(m_read.message[0] ? std::string("PNG: ") + m_read.message : "PNG: out of memory");
    }

    bool rowsComplete() const {
        return m_header.interlaced ? png_get_current_pass_number(m_png) >= 7
                                   : png_get_current_row_number(m_png) >= m_header.height;
    }

    // Hands libpng a piece.
    void hand(std::span<const uint8_t> piece, bool madeHere = false) {
        const Settings settings{m_handed ? nullptr : &m_limits, std::exchange(m_skipProfiles, false), madeHere};
        m_handed = true;
        settle(Feed(m_png, m_info, m_read, settings, piece.data(), piece.size()));
    }

    // The next chunk, or the rest of the image data chunk being read.
    void nextChunk() {
        if (m_dataLeft > 0) return imageData();
        const size_t left = m_bytes.size() - m_at;
        if (left < kChunkHeaderSize) fail("the PNG ends early");
        const uint8_t* header = &m_bytes[m_at];
        const uint32_t length = BigEndian32(header);
        const uint32_t type = BigEndian32(header + 4);
        if (length > kMaxChunkLength) fail("a chunk's length is out of range");
        const uint64_t whole = kChunkHeaderSize + uint64_t(length) + kChunkCrcSize;
        const bool imageData = type == kImageDataType;
        charge(kChunkPrice +
               std::min<uint64_t>(whole, left) * (imageData ? kImageDataBytePrice : kChunkBytePrice));
        if (imageData) return startImageData(length);
        if (whole > left) fail("the PNG ends early");
        const std::span<const uint8_t> chunk = m_bytes.subspan(m_at, size_t(whole));
        m_at += size_t(whole);
        if (type == kHeaderType && !m_haveHeader) return handHeader(chunk);
        const bool profile = type == kProfileType;
        if (profile && !m_profileRead) meterProfile(chunk.subspan(kChunkHeaderSize, length));
        hand(chunk);
        if (profile) m_skipProfiles = m_profileRead = true;
    }

    // The header, whose sizes the decoder keeps. A sampled picture not
    // interlaced is told to libpng as only the rows the frame takes, so
    // that libpng converts no others.
    void handHeader(std::span<const uint8_t> chunk) {
        m_haveHeader = true;
        if (chunk.size() != kChunkHeaderSize + kHeaderDataSize + kChunkCrcSize) return hand(chunk);  // libpng refuses it
        m_header = ReadPngHeader(chunk.subspan(kChunkHeaderSize, kHeaderDataSize));
        if (!m_target || !m_target->sampling() || m_header.interlaced || m_header.height == 0 ||
            m_header.height > kMaxChunkLength)
            return hand(chunk);
        const uint8_t* crc = &chunk[kChunkHeaderSize + kHeaderDataSize];
        if (crc32(0, &chunk[4], 4 + kHeaderDataSize) != BigEndian32(crc)) fail("PNG: IHDR: CRC error");
        for (int y = 0; y < kFrameSize; ++y) {
            const auto row = uint32_t(FrameSourceIndex(y, m_header.height));
            if (m_read.givenRows.empty() || m_read.givenRows.back() != row) m_read.givenRows.push_back(row);
        }
        std::vector<uint8_t> told(chunk.begin(), chunk.end());
        PutBigEndian32(&told[kChunkHeaderSize + 4], uint32_t(m_read.givenRows.size()));
        hand(told, true);
    }

    // libpng inflates an ICC profile itself; the same inflation is run here
    // first, so that what it costs is charged before libpng does it. libpng
    // stops at the profile's end, at most kMaxChunkBytes.
    void meterProfile(std::span<const uint8_t> data) {
        const auto name = std::find(data.begin(), data.end(), uint8_t(0));
        if (name == data.end() || data.end() - name < 2) return;  // libpng refuses it unread
        const uint64_t before = m_budget.spent();
        {
            Inflater inflater(m_budget, "inflating a PNG picture's colour profile", 0, Inflater::Checksum::Unchecked);
            inflater.give({name + 2, data.end()});
            std::vector<uint8_t> scratch(size_t(64) << 10);
            for (size_t total = 0; total <= kMaxChunkBytes && !inflater.ended() && !inflater.damaged();) {
                const size_t written = inflater.inflate(scratch);
                total += written;
                if (written < scratch.size()) break;
            }
        }
        // libpng's own inflation of it costs as much again.
        m_budget.charge(m_budget.spent() - before, "inflating a PNG picture's colour profile");
    }

    // An image data chunk, whose rows are inflated as they are wanted.
    void startImageData(uint32_t length) {
        m_at += kChunkHeaderSize;
        m_dataLeft = length;
        m_crc = crc32(0, &m_bytes[m_at - 4], 4);
        // Read only as far as the rows go, never to the checksum at its end.
        if (!m_inflater)
            m_inflater.emplace(m_budget, "inflating a PNG picture's image data", 0, Inflater::Checksum::Unchecked);
        if (length == 0) return checkImageDataCrc();
        if (m_order) imageData();
    }

    // Inflates the chunk's data as far as the rows wanted, and takes the rows.
    void imageData() {
        while (m_dataLeft > 0 && m_inflated < m_wanted) {
            const size_t available = size_t(std::min<uint64_t>(m_dataLeft, m_bytes.size() - m_at));
            if (available == 0) fail("the PNG ends early");
            const std::span<const uint8_t> data = m_bytes.subspan(m_at, available);
            m_inflater->give(data);
            const size_t room = size_t(std::min<uint64_t>(m_inflatedRows.size(), m_wanted - m_inflated));
            const size_t written = m_inflater->inflate({m_inflatedRows.data(), room});
            const size_t used = available - m_inflater->unread();
            m_crc = crc32(m_crc, data.data(), uInt(used));
            m_at += used;
            m_dataLeft -= used;
            m_inflated += written;
            if (m_inflater->damaged()) fail("PNG: " + m_inflater->damage());
            takeRows({m_inflatedRows.data(), written});
            if (m_dataLeft == 0) checkImageDataCrc();
            if (m_inflated < m_wanted && m_inflater->ended()) fail("the PNG's image data ends before its last row");
            if (written == 0 && used == 0) fail("the PNG ends early");
        }
    }

    void takeRows(std::span<const uint8_t> bytes) {
        while (!bytes.empty()) {
            const size_t n = std::min(bytes.size(), m_order->bytes() - m_filled);
            std::memcpy(m_row.data() + m_filled, bytes.data(), n);
            m_filled += n;
            bytes = bytes.subspan(n);
            if (m_filled == m_order->bytes()) finishRow();
        }
    }

    // Unfilters the row just inflated, keeps it for libpng if it is
    // wanted, and makes it the prior row of the next.
    void finishRow() {
        const size_t length = m_order->bytes() - 1;
        const uint8_t filter = m_row[0];
        const size_t pixelBytes = std::max<size_t>(1, m_header.pixelBits() / 8);
        charge(kRowPrice + length * (filter < 4   ? kFilterBytePrice[filter]
                                          : filter == 4 ? PaethBytePrice(pixelBytes)
                                                        : 0));
        if (!Unfilter(filter, &m_row[1], &m_prior[1], length, pixelBytes)) fail("PNG: bad adaptive filter value");
        const auto& given = m_read.givenRows;
        if (given.empty() || std::binary_search(given.begin(), given.end(), m_order->sourceRow())) {
            if (m_stored.size() + m_order->bytes() > rowsAt() + kMostStored) flush();
            if (m_stored.empty()) m_stored.assign(rowsAt(), 0);
            m_stored.push_back(0);  // filter: none
            m_stored.insert(m_stored.end(), m_row.begin() + 1, m_row.end());
            charge(kConvertedRowPrice + m_order->bytes() * kConvertedBytePrice +
                   m_order->columns() * PixelPrice());
        }
        m_filled = 0;
        std::swap(m_row, m_prior);
        m_order->next();
        if (m_order->done()) return;
        if (m_order->firstOfPass()) m_prior.assign(m_order->bytes(), 0);
        m_row.resize(m_order->bytes());
    }

    uint64_t PixelPrice() const {
        if (m_header.depth == 16) return kPixelPrice16Bit;
        if (m_header.depth < 8 || m_header.colourType == PNG_COLOR_TYPE_PALETTE) return kPixelPriceIndexed;
        return kPixelPrice8Bit;
    }

    // Where the rows of a chunk start: after its header, the stored stream's
    // header in the first (libpng meets the image data there, and calls the
    // info callback before it takes the rows), and a block's header.
    size_t rowsAt() const { return kChunkHeaderSize + (m_streamStarted ? 0 : sizeof kStoredStreamHeader) + kStoredBlockHeader; }

    // Hands libpng the rows kept so far, as stored blocks of one chunk:
    // one block in the room left for its header, or (for a row longer than
    // a block) as many as they fill.
    void flush() {
        const size_t at = rowsAt();
        if (m_stored.size() <= at) return;
        const size_t rows = m_stored.size() - at;
        const auto blockHeader = [](size_t n) {
            return std::array<uint8_t, kStoredBlockHeader>{0, uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)};
        };  // stored, and not the last block
        if (!m_streamStarted)
            std::copy(std::begin(kStoredStreamHeader), std::end(kStoredStreamHeader), m_stored.begin() + kChunkHeaderSize);
        if (rows <= kMostStored) {
            const auto header = blockHeader(rows);
            std::copy(header.begin(), header.end(), m_stored.begin() + ptrdiff_t(at - kStoredBlockHeader));
            return handStored();
        }
        std::vector<uint8_t> chunk(m_stored.begin(), m_stored.begin() + ptrdiff_t(at - kStoredBlockHeader));
        for (size_t done = 0; done < rows; done += kMostStored) {
            const size_t n = std::min(kMostStored, rows - done);
            const auto header = blockHeader(n);
            chunk.insert(chunk.end(), header.begin(), header.end());
            chunk.insert(chunk.end(), m_stored.begin() + ptrdiff_t(at + done), m_stored.begin() + ptrdiff_t(at + done + n));
        }
        m_stored = std::move(chunk);
        handStored();
    }

    // m_stored, which holds an image data chunk's data after room for its
    // header, as a chunk of its own.
    void handStored() {
        const size_t length = m_stored.size() - kChunkHeaderSize;
        PutBigEndian32(m_stored.data(), uint32_t(length));
        PutBigEndian32(m_stored.data() + 4, kImageDataType);
        m_stored.insert(m_stored.end(), kChunkCrcSize, 0);  // not checked: see Settings
        charge(kChunkPrice);
        m_streamStarted = true;
        hand(m_stored, true);
        m_stored.clear();
    }

    // The rest of the chunk that completed the rows, checksummed but not inflated.
    void finishImageData() {
        if (m_bytes.size() - m_at < m_dataLeft) fail("the PNG ends early");
        m_crc = crc32(m_crc, &m_bytes[m_at], uInt(m_dataLeft));
        m_at += size_t(m_dataLeft);
        m_dataLeft = 0;
        checkImageDataCrc();
    }

    void checkImageDataCrc() {
        if (m_bytes.size() - m_at < kChunkCrcSize) fail("the PNG ends early");
        if (m_crc != BigEndian32(&m_bytes[m_at])) fail("PNG: IDAT: CRC error");
        m_at += kChunkCrcSize;
    }

    std::span<const uint8_t> m_bytes;
    PngLimits m_limits;
    ReadBudget& m_budget;
    ImageTarget* m_target = nullptr;  // null for the header alone
    PngRead m_read;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    uint64_t m_owed = 0;  // in 64ths of a unit, below one unit
    size_t m_at = sizeof kSignature;  // the next chunk
    bool m_handed = false;
    bool m_skipProfiles = false;  // the next piece is to skip ICC profiles
    bool m_profileRead = false;
    bool m_haveHeader = false;
    PngHeader m_header;

    std::optional<Inflater> m_inflater;
    bool m_streamStarted = false;  // libpng has had the stored stream's header
    uint64_t m_dataLeft = 0;  // of the image data chunk being read
    uLong m_crc = 0;
    uint64_t m_wanted = 0;  // bytes of filtered rows to inflate
    uint64_t m_inflated = 0;
    std::optional<PngRowOrder> m_order;
    std::vector<uint8_t> m_row, m_prior;  // each with its filter byte
    size_t m_filled = 0;                  // of m_row
    std::vector<uint8_t> m_inflatedRows;  // a step's worth
    std::vector<uint8_t> m_stored;        // rows for libpng, after room for a chunk header
};

}  // namespace

bool IsPng(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes, ReadBudget& budget) {
    try {
        return PngDecoder(bytes, {kMaxSide, kMaxSide}, budget).readHeader();
    } catch (const EInvalidGraphic&) {
        return std::nullopt;
    }
}

void DecodePng(std::span<const uint8_t> bytes, PngLimits limits, ImageTarget& target, ReadBudget& budget) {
    static_assert(sizeof(Rgba) == 4, "rows are decoded straight into the pixels");
    PngDecoder(bytes, limits, budget).decode(target);
}

IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget) {
    ImageTarget target(ImageTarget::Size::Stored);
    DecodePng(bytes, limits, target, budget);
    return target.take();
}
