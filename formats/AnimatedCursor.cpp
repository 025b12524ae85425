#include "formats/AnimatedCursor.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <iterator>
#include <map>
#include <unordered_map>

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"

namespace {

constexpr size_t kChunkHeaderBytes = 8;  // 4-byte ID and 32-bit size
constexpr size_t kFourCCBytes = 4;       // form and list types
// The "anih" header: nine 32-bit words, of which the reader uses four.
constexpr size_t kHeaderBytes = 36;
constexpr size_t kFrameCountAt = 4;
constexpr size_t kStepCountAt = 8;
constexpr size_t kDefaultRateAt = 28;
constexpr size_t kFlagsAt = 32;
constexpr uint32_t kFlagIconFrames = 1;  // frames are icon or cursor resources
// The kind word of an icon resource (bytes 2-3): 1 icon, 2 cursor.
constexpr size_t kKindAt = 2;
constexpr uint16_t kKindIcon = 1;
constexpr uint16_t kKindCursor = 2;
constexpr size_t kMaxTextChars = TAnimatedCursorImage::kTextBufferBytes - 1;

[[noreturn]] void Fail() { throw EReadError(messages::kStreamRead); }

bool Is(std::span<const uint8_t> id, const char (&literal)[5]) {
    return std::memcmp(id.data(), literal, kFourCCBytes) == 0;
}

int32_t WordAt(const std::array<uint8_t, kHeaderBytes>& header, size_t at) {
    return int32_t(uint32_t(header[at]) | uint32_t(header[at + 1]) << 8 |
                   uint32_t(header[at + 2]) << 16 | uint32_t(header[at + 3]) << 24);
}

struct ChunkHeader {
    std::span<const uint8_t> id;
    uint32_t size = 0;
    // An odd-sized chunk is followed by a pad byte.
    uint64_t padded() const { return uint64_t(size) + (size & 1); }
};

// The frame records as read so far, in list order. A header may announce
// billions of records; those nothing has touched yet stay implied by the
// run of records their header made, so memory follows the bytes of the file
// and not the count it announces. An untouched record of a run has the
// run's rate, no image, and its index in the run as its sequence index.
class FrameList {
public:
    explicit FrameList(size_t maxTouched) : m_maxTouched(maxTouched) {}

    int64_t size() const { return m_size; }

    void AppendRun(int32_t count, int32_t rate) {
        m_runs.push_back({m_size, count, rate});
        m_activeRuns.push_back(m_runs.size() - 1);
        m_size += count;
    }

    void SetRate(int64_t position, int32_t rate) { Touch(position).rate = rate; }

    void SetSequenceIndex(int64_t position, int32_t index) {
        Touch(position).sequenceIndex = index;
        Index(position, index);
    }

    // Gives the next stored image to every record whose sequence index is
    // its number, or to a new record at the end when none is.
    void BindNextImage(const std::shared_ptr<const TFrameIcon>& image, int32_t defaultRate) {
        const int64_t k = m_nextImage++;
        bool claimed = false;
        if (auto it = m_bySequence.find(k); it != m_bySequence.end()) {
            for (int64_t position : it->second) {
                TIconFrame& record = m_touched.at(position);
                if (record.sequenceIndex == k) {
                    record.image = image;
                    claimed = true;
                }
            }
            m_bySequence.erase(it);
        }
        // A run's untouched record k has sequence index k. Runs shorter than
        // k can never be claimed again, as image numbers only grow.
        for (size_t i = 0; i < m_activeRuns.size();) {
            const Run& run = m_runs[m_activeRuns[i]];
            if (run.count <= k) {
                m_activeRuns[i] = m_activeRuns.back();
                m_activeRuns.pop_back();
                continue;
            }
            if (!m_touched.contains(run.base + k)) {
                Insert(run.base + k, {image, run.rate, int32_t(k)});
                claimed = true;
            }
            ++i;
        }
        if (!claimed) Insert(m_size++, {image, defaultRate, -1});
    }

    std::vector<TIconFrame> RecordsWithImages() const {
        std::vector<TIconFrame> records;
        for (const auto& [position, record] : m_touched)
            if (record.image) records.push_back(record);
        return records;
    }

private:
    struct Run {
        int64_t base;  // list position of the run's first record
        int64_t count;
        int32_t rate;
    };

    TIconFrame& Touch(int64_t position) {
        if (auto it = m_touched.find(position); it != m_touched.end()) return it->second;
        // Every position not touched yet lies in a run: records appended
        // for unclaimed images are touched from the start.
        auto after = std::upper_bound(m_runs.begin(), m_runs.end(), position,
                                      [](int64_t p, const Run& run) { return p < run.base; });
        const Run& run = *std::prev(after);
        const auto n = int32_t(position - run.base);
        Index(position, n);
        return Insert(position, {nullptr, run.rate, n});
    }

    TIconFrame& Insert(int64_t position, TIconFrame record) {
        // Only a file with many headers claiming the same images can get
        // here; more records than the file has bytes is not a cursor.
        if (m_touched.size() >= m_maxTouched) Fail();
        return m_touched.emplace(position, std::move(record)).first->second;
    }

    // Remembers which touched records a later image may claim.
    void Index(int64_t position, int32_t sequenceIndex) {
        if (sequenceIndex >= m_nextImage) m_bySequence[sequenceIndex].push_back(position);
    }

    std::vector<Run> m_runs;
    std::vector<size_t> m_activeRuns;  // runs that may still claim images
    std::map<int64_t, TIconFrame> m_touched;
    std::unordered_map<int64_t, std::vector<int64_t>> m_bySequence;
    int64_t m_size = 0;
    int64_t m_nextImage = 0;
    size_t m_maxTouched;
};

class CursorParser {
public:
    explicit CursorParser(std::span<const uint8_t> bytes)
        : m_in(bytes), m_frames(std::min<size_t>(bytes.size(), INT32_MAX)) {}

    void Parse() {
        // The RIFF size is ignored: chunks past the form's declared end count too.
        if (m_in.remaining() < kChunkHeaderBytes || !Is(m_in.bytes(kFourCCBytes), "RIFF")) Fail();
        m_in.skip(4);
        if (m_in.remaining() < kFourCCBytes || !Is(m_in.bytes(kFourCCBytes), "ACON")) Fail();

        ChunkHeader chunk;
        while (ReadChunkHeader(chunk) && HandleChunk(chunk)) {}

        records = m_frames.RecordsWithImages();
        if (records.empty()) Fail();
    }

    std::vector<TIconFrame> records;
    TAnimatedCursorImage::TextBuffer title{};
    TAnimatedCursorImage::TextBuffer creator{};

private:
    // False when fewer than 8 bytes are left.
    bool ReadChunkHeader(ChunkHeader& chunk) {
        if (m_in.remaining() < kChunkHeaderBytes) return false;
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
        const auto data = m_in.bytes(chunk.size);
        // A shorter header leaves the rest as it was; a longer one's extra
        // bytes are skipped.
        std::copy_n(data.begin(), std::min(data.size(), kHeaderBytes), m_header.begin());
        if (chunk.size & 1) m_in.skipClamped(1);

        if (!(uint32_t(WordAt(m_header, kFlagsAt)) & kFlagIconFrames) || WordAt(m_header, kStepCountAt) == 0)
            Fail();
        // Every header appends, numbering its records from 0 again.
        if (const int32_t count = WordAt(m_header, kFrameCountAt); count > 0)
            m_frames.AppendRun(count, DefaultRate());
        return true;
    }

    bool ReadRates(const ChunkHeader& chunk) {
        // One value per record that exists now; a chunk before the header
        // therefore changes nothing.
        const auto values = std::min<uint64_t>(uint64_t(m_frames.size()), chunk.size / 4);
        if (m_in.remaining() / 4 < values) Fail();
        for (uint64_t i = 0; i < values; ++i) m_frames.SetRate(int64_t(i), m_in.i32le());
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
                auto image = TakeImage(sub.size);
                // The later images of this list are lost with it.
                if (!image) return;
                m_frames.BindNextImage(image, DefaultRate());
            } else {
                m_in.skipClamped(sub.padded());
            }
            remaining -= int64_t(sub.padded());
        }
    }

    std::shared_ptr<const TFrameIcon> TakeImage(uint32_t size) {
        if (m_in.remaining() < size) Fail();
        std::vector<uint8_t> copy = m_in.copy(size);
        if (size & 1) m_in.skipClamped(1);
        if (copy.size() < kKindAt + 2) return nullptr;
        // A cursor resource reads as an icon; its hot spots stand where an
        // icon's planes and bit count would and are never read.
        if ((copy[kKindAt] | copy[kKindAt + 1] << 8) == kKindCursor) {
            copy[kKindAt] = uint8_t(kKindIcon);
            copy[kKindAt + 1] = 0;
        }
        if ((copy[kKindAt] | copy[kKindAt + 1] << 8) != kKindIcon) return nullptr;
        try {
            return LoadFrameIcon(std::move(copy));
        } catch (const EReadError&) {
            return nullptr;  // too short for an icon header
        }
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
                const auto text = m_in.bytes(length);
                std::copy(text.begin(), text.end(), buffer->begin());
                m_in.skipClamped(sub.padded() - length);
            } else {
                m_in.skipClamped(sub.padded());
            }
            remaining -= int64_t(sub.padded());
        }
    }

    int32_t DefaultRate() const { return WordAt(m_header, kDefaultRateAt); }

    ByteReader m_in;
    FrameList m_frames;
    std::array<uint8_t, kHeaderBytes> m_header{};
    int64_t m_sequenceChunks = 0;
};

}  // namespace

void TAnimatedCursorImage::ReadCursorFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kMaxCursorFileBytes);
    } catch (const EFOpenError&) {
        throw;  // nothing was read: keep what is held
    } catch (...) {
        Clear();
        throw;
    }
    ReadCursorBytes(bytes);
}

void TAnimatedCursorImage::ReadCursorBytes(std::span<const uint8_t> bytes) {
    // An empty file is not parsed and replaces nothing.
    if (bytes.empty()) return;
    try {
        CursorParser parser(bytes);
        parser.Parse();
        m_frames = std::move(parser.records);
        m_title = parser.title;
        m_creator = parser.creator;
    } catch (...) {
        Clear();
        throw;
    }
}

std::string TAnimatedCursorImage::BufferText(const TextBuffer& buffer) {
    return {buffer.data(), strnlen(buffer.data(), buffer.size())};
}

void TAnimatedCursorImage::Clear() {
    m_frames.clear();
    m_title.fill(0);
    m_creator.fill(0);
}
