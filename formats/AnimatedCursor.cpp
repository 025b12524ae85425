#include "formats/AnimatedCursor.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <iterator>

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"

namespace {

constexpr size_t kChunkHeaderBytes = 8;  // 4-byte ID and 32-bit size
constexpr size_t kFourCCBytes = 4;       // form and list types
// The "anih" header: nine 32-bit words (size, frames, steps, width,
// height, bits per pixel, planes, default rate, flags).
constexpr size_t kHeaderBytes = 36;
constexpr uint32_t kFlagIconFrames = 1;  // frames are icon or cursor resources
// Prices (bench/cost/cursor_cost.cpp, each on the chunks that make it
// slowest): a chunk walked, with what the frame list does for it (a run of
// "seq " chunks, each renumbering a record);
constexpr uint64_t kChunkUnits = 14;
// a record with an image listed at the end;
constexpr uint64_t kRecordUnits = 4;
// a byte of the file, read and copied, in sixteenths of a unit.
constexpr uint64_t kFileByteSixteenths = 3;
// The kind word of an icon resource (bytes 2-3): 1 icon, 2 cursor.
constexpr size_t kKindAt = 2;
constexpr uint16_t kKindIcon = 1;
constexpr uint16_t kKindCursor = 2;
constexpr size_t kIconHeaderBytes = 6;  // reserved, kind, image count
// An "icon" sub-chunk with an image: its header and at least an icon header.
constexpr size_t kMinImageChunkBytes = kChunkHeaderBytes + kIconHeaderBytes;
constexpr size_t kMaxTextChars = TAnimatedCursorImage::kTextBufferBytes - 1;

[[noreturn]] void Fail() { throw EReadError(messages::kStreamRead); }

bool Is(std::span<const uint8_t> id, const char (&literal)[5]) {
    return std::memcmp(id.data(), literal, kFourCCBytes) == 0;
}

// The header words the reader uses.
struct AniHeader {
    int32_t frames = 0;
    int32_t steps = 0;
    int32_t defaultRate = 0;
    uint32_t flags = 0;
};

// A header chunk's 36 bytes over the one before: a shorter chunk leaves the
// rest as it was, a longer one's extra bytes are ignored.
AniHeader ReadAniHeader(std::span<const uint8_t> data, std::array<uint8_t, kHeaderBytes>& bytes) {
    std::copy_n(data.begin(), std::min(data.size(), kHeaderBytes), bytes.begin());
    ByteReader in(bytes.data(), bytes.size());
    AniHeader header;
    in.skip(4);  // its own size, which the chunk's size overrides
    header.frames = in.i32le();
    header.steps = in.i32le();
    in.skip(16);  // width, height, bits per pixel, planes: the images say
    header.defaultRate = in.i32le();
    header.flags = in.u32le();
    return header;
}

struct ChunkHeader {
    std::span<const uint8_t> id;
    uint32_t size = 0;
    // An odd-sized chunk is followed by a pad byte.
    uint64_t padded() const { return uint64_t(size) + (size & 1); }
};

class CursorParser {
public:
    // Kind words are mended in place, so the parser needs its own copy.
    CursorParser(std::vector<uint8_t>& file, ReadBudget& budget)
        : m_file(file), m_in(file), m_budget(budget), m_frames(int64_t(file.size() / kMinImageChunkBytes) + 1) {}

    void Parse() {
        // The RIFF size is ignored: chunks past the form's declared end count too.
        if (m_in.remaining() < kChunkHeaderBytes || !Is(m_in.bytes(kFourCCBytes), "RIFF")) Fail();
        m_in.skip(4);
        if (m_in.remaining() < kFourCCBytes || !Is(m_in.bytes(kFourCCBytes), "ACON")) Fail();

        ChunkHeader chunk;
        while (ReadChunkHeader(chunk) && HandleChunk(chunk)) {}

        records = m_frames.Finish(std::min<int64_t>(kMaxCursorFrames, int64_t(m_file.size())));
        m_budget.charge(records.size() * kRecordUnits, "listing an animated cursor's frames");
        if (records.empty()) Fail();
    }

    std::deque<TAnimatedCursorImage::StoredImage> images;
    std::vector<CursorFrameList::Record> records;
    TAnimatedCursorImage::TextBuffer title{};
    TAnimatedCursorImage::TextBuffer creator{};

private:
    // False when fewer than 8 bytes are left.
    bool ReadChunkHeader(ChunkHeader& chunk) {
        if (m_in.remaining() < kChunkHeaderBytes) return false;
        m_budget.charge(kChunkUnits, "walking an animated cursor's chunks");
        chunk.id = m_in.bytes(kFourCCBytes);
        chunk.size = m_in.u32le();
        // Negative as a signed size: it would move the reading backwards.
        if (chunk.size > uint32_t(INT32_MAX)) Fail();
        return true;
    }

    // False when the walk ends early.
    bool HandleChunk(const ChunkHeader& chunk) {
        if (Is(chunk.id, "anih")) return ReadHeader(chunk);
        if (Is(chunk.id, "rate")) return ReadRates(chunk);
        if (Is(chunk.id, "seq ")) return ReadSequence(chunk);
        if (Is(chunk.id, "LIST")) return ReadList(chunk);
        m_in.skipClamped(chunk.padded());
        return true;
    }

    bool ReadHeader(const ChunkHeader& chunk) {
        if (m_in.remaining() < chunk.size) return false;
        m_header = ReadAniHeader(m_in.bytes(chunk.size), m_headerBytes);
        if (chunk.size & 1) m_in.skipClamped(1);

        if (!(m_header.flags & kFlagIconFrames) || m_header.steps == 0) Fail();
        // Every header appends, numbering its records from 0 again.
        if (m_header.frames > 0) m_frames.AppendRun(m_header.frames, m_header.defaultRate);
        return true;
    }

    bool ReadRates(const ChunkHeader& chunk) {
        // One value per record that exists now; a chunk before the header
        // therefore changes nothing.
        const auto values = std::min<uint64_t>(uint64_t(m_frames.size()), chunk.size / 4);
        if (m_in.remaining() / 4 < values) Fail();
        m_frames.SetRates(m_in.bytes(size_t(values * 4)));
        m_in.skipClamped(chunk.padded() - values * 4);
        return true;
    }

    bool ReadSequence(const ChunkHeader& chunk) {
        // Only the first step of each chunk counts, and it goes to record j
        // for the j-th chunk. A chunk too short to hold a step changes no
        // record but still counts.
        if (chunk.size >= 4) {
            if (m_in.remaining() < 4) return false;
            const int32_t step = m_in.i32le();
            m_in.skipClamped(chunk.padded() - 4);
            if (m_sequenceChunks < m_frames.size()) m_frames.SetSequenceIndex(m_sequenceChunks, step);
        } else {
            m_in.skipClamped(chunk.padded());
        }
        ++m_sequenceChunks;
        return true;
    }

    bool ReadList(const ChunkHeader& chunk) {
        auto remaining = int64_t(chunk.padded());
        if (m_in.remaining() < kFourCCBytes) return false;
        const auto type = m_in.bytes(kFourCCBytes);
        remaining -= int64_t(kFourCCBytes);
        // When a walk stops early, the top-level walk goes on from wherever
        // it stopped, even inside the list.
        if (Is(type, "fram"))
            ReadImages(remaining);
        else if (Is(type, "INFO"))
            ReadInformation(remaining);
        else
            m_in.skipClamped(size_t(std::max<int64_t>(remaining, 0)));
        return true;
    }

    void ReadImages(int64_t remaining) {
        ChunkHeader sub;
        while (remaining >= int64_t(kChunkHeaderBytes) && ReadChunkHeader(sub)) {
            remaining -= int64_t(kChunkHeaderBytes);
            if (Is(sub.id, "icon")) {
                // The later images of this list are lost with one that is none.
                if (!TakeImage(sub.size)) return;
                m_frames.BindNextImage(DefaultRate());
            } else {
                m_in.skipClamped(sub.padded());
            }
            remaining -= int64_t(sub.padded());
        }
    }

    // Adds the image an "icon" sub-chunk holds to the stored images; false
    // when it holds none.
    bool TakeImage(uint32_t size) {
        if (m_in.remaining() < size) Fail();
        const size_t offset = m_in.position();
        m_in.skip(size);
        if (size & 1) m_in.skipClamped(1);
        if (size < kKindAt + 2) return false;
        // A cursor resource reads as an icon; its hot spots stand where an
        // icon's planes and bit count would and are never read.
        uint8_t* kind = &m_file[offset + kKindAt];
        if ((kind[0] | kind[1] << 8) == kKindCursor) {
            kind[0] = uint8_t(kKindIcon);
            kind[1] = 0;
        }
        if ((kind[0] | kind[1] << 8) != kKindIcon) return false;
        if (size < kIconHeaderBytes) return false;  // too short for an icon header
        images.push_back({uint32_t(offset), size});
        return true;
    }

    void ReadInformation(int64_t remaining) {
        ChunkHeader sub;
        while (remaining >= int64_t(kChunkHeaderBytes) && ReadChunkHeader(sub)) {
            remaining -= int64_t(kChunkHeaderBytes);
            auto* buffer = Is(sub.id, "INAM") ? &title : Is(sub.id, "IART") ? &creator : nullptr;
            if (buffer) {
                if (int64_t(sub.size) > remaining) return;
                // The buffer's last byte stays zero; a later string overwrites
                // only as far as its own bytes go.
                const size_t length = std::min<size_t>(sub.size, kMaxTextChars);
                if (m_in.remaining() < length) return;
                m_budget.charge(length, "reading an animated cursor's text");
                const auto text = m_in.bytes(length);
                std::copy(text.begin(), text.end(), buffer->begin());
                m_in.skipClamped(sub.padded() - length);
            } else {
                m_in.skipClamped(sub.padded());
            }
            remaining -= int64_t(sub.padded());
        }
    }

    int32_t DefaultRate() const { return m_header.defaultRate; }

    std::vector<uint8_t>& m_file;
    ByteReader m_in;
    ReadBudget& m_budget;
    CursorFrameList m_frames;
    std::array<uint8_t, kHeaderBytes> m_headerBytes{};  // as the header chunks left them
    AniHeader m_header;
    int64_t m_sequenceChunks = 0;
};

}  // namespace

void TAnimatedCursorImage::ReadCursorFile(const std::string& path, ReadBudget& budget) {
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kMaxCursorFileBytes);
    } catch (const EFOpenError&) {
        throw;  // nothing was read: keep what is held
    } catch (...) {
        Clear();
        throw;
    }
    Read(std::make_shared<std::vector<uint8_t>>(std::move(bytes)), budget);
}

void TAnimatedCursorImage::ReadCursorBytes(std::span<const uint8_t> bytes, ReadBudget& budget) {
    if (bytes.empty()) return;  // replaces nothing
    Read(std::make_shared<std::vector<uint8_t>>(bytes.begin(), bytes.end()), budget);
}

void TAnimatedCursorImage::Read(std::shared_ptr<std::vector<uint8_t>> file, ReadBudget& budget) {
    // An empty file is not parsed and replaces nothing.
    if (file->empty()) return;
    try {
        budget.charge(file->size() * kFileByteSixteenths / 16, "reading an animated cursor");
        ReadBudget::Held held = budget.hold(file->size(), "an animated cursor's bytes");
        CursorParser parser(*file, budget);
        parser.Parse();
        m_frames = std::move(parser.records);
        m_images = std::move(parser.images);
        m_file = std::move(file);
        m_title = parser.title;
        m_creator = parser.creator;
        m_held = std::move(held);
    } catch (...) {
        Clear();
        throw;
    }
}

TIconFrame TAnimatedCursorImage::Frame(int32_t i) const {
    const CursorFrameList::Record& record = m_frames.at(size_t(i));
    const StoredImage& image = m_images[size_t(record.image)];
    return {TFrameIcon::Loaded(std::span(*m_file).subspan(image.offset, image.size), m_file), record.rate};
}

std::string TAnimatedCursorImage::BufferText(const TextBuffer& buffer) {
    return {buffer.data(), strnlen(buffer.data(), buffer.size())};
}

void TAnimatedCursorImage::Clear() {
    m_frames.clear();
    m_images.clear();
    m_file.reset();
    m_title.fill(0);
    m_creator.fill(0);
    m_held.reset();
}
